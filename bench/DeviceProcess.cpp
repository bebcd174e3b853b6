#include "DeviceProcess.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

DeviceProcess::DeviceProcess(const std::string& program, const std::vector<std::string>& options) {
    int out[2];
    if (pipe(out) != 0) {
        return;
    }
    std::vector<std::string> words{program};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line of its output names the port.
    char c;
    output = out[0];
    while (child > 0 && read(output, &c, 1) == 1 && c != '\n') {
        port += c;
    }
}

DeviceProcess::~DeviceProcess() {
    if (child > 0) {
        kill(child, SIGINT);
        int status = 0;
        waitpid(child, &status, 0);
    }
    if (output >= 0) {
        close(output);
    }
}
