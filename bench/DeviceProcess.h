#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A simulated device in a process of its own (the vtc880-sim program), so that its work does not count
// as ours. Started with the given options; stopped (Ctrl-C, then waited for) with the object.
class DeviceProcess {
  public:
    DeviceProcess(const std::string& program, const std::vector<std::string>& options);
    ~DeviceProcess();
    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    const std::string& portPath() const { return port; } // empty when it did not start

  private:
    pid_t child = -1;
    int output = -1; // kept open: a device that writes again must not die of a closed pipe
    std::string port;
};
