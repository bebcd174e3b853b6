#pragma once

#include "BuiltPaths.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// The vtc880 tool as a child process whose standard output the test reads as it comes: through a
// pipe (as `| head` would) or a pseudo-terminal of a given size (as a person's terminal). Every read
// has a limit, so a tool that hangs fails the test instead of holding it.
class ChildTool {
  public:
    ChildTool(const ChildTool&) = delete;
    ChildTool& operator=(const ChildTool&) = delete;
    ~ChildTool() {
        closeOutput();
        if (pid > 0 && !reaped) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Standard output on a pipe; standard error to `errorFile`.
    static ChildTool onPipe(const std::vector<std::string>& arguments, const std::string& errorFile) {
        int ends[2];
        if (pipe(ends) != 0) {
            return ChildTool(-1, -1);
        }
        const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        CommandLine line(arguments);
        const pid_t child = fork();
        if (child == 0) {
            dup2(ends[1], STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            close(ends[0]);
            line.exec();
        }
        close(err);
        close(ends[1]);
        return ChildTool(child, ends[0]);
    }

    // Both streams on a pseudo-terminal of `columns` by `rows`.
    static ChildTool onTerminal(const std::vector<std::string>& arguments, unsigned short columns,
                                unsigned short rows) {
        winsize size{};
        size.ws_col = columns;
        size.ws_row = rows;
        int master = -1;
        CommandLine line(arguments);
        const pid_t child = forkpty(&master, nullptr, nullptr, &size);
        if (child == 0) {
            line.exec();
        }
        return ChildTool(child, child < 0 ? -1 : master);
    }

    bool started() const { return pid > 0 && fd >= 0; }

    // Reads until `text` has come (true), or the output ended or `limit` passed (false).
    bool readUntil(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (output.find(text) == std::string::npos) {
            if (!readSome(end)) {
                return false;
            }
        }
        return true;
    }

    // Reads until `text` has come `times` times (true), or the output ended or `limit` passed (false).
    bool readUntilSeen(const std::string& text, std::size_t times,
                       std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        const auto seen = [&] {
            std::size_t n = 0;
            for (std::size_t at = output.find(text); at != std::string::npos;
                 at = output.find(text, at + 1)) {
                ++n;
            }
            return n;
        };
        while (seen() < times) {
            if (!readSome(end)) {
                return false;
            }
        }
        return true;
    }

    // Reads until the output ends; false when `limit` passed first.
    bool readToEnd(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (readSome(end)) {
        }
        return ended;
    }

    void closeOutput() {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }

    void signal(int number) { kill(pid, number); }

    // A pseudo-terminal's new size: the system tells the tool with SIGWINCH.
    void resize(unsigned short columns, unsigned short rows) {
        winsize size{};
        size.ws_col = columns;
        size.ws_row = rows;
        ioctl(fd, TIOCSWINSZ, &size);
    }

    // Waits for the tool to end: its exit status, or 128 + the signal that ended it.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            usleep(10000);
        }
        reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string output;

  private:
    ChildTool(pid_t pid, int fd) : pid(pid), fd(fd) {}

    // Made before the fork: the child of a process with threads (the simulated device's) may only make
    // the calls that allocate nothing until it runs the tool.
    struct CommandLine {
        explicit CommandLine(const std::vector<std::string>& arguments) : words(arguments) {
            words.insert(words.begin(), built::tool());
            for (std::string& word : words) {
                argv.push_back(word.data());
            }
            argv.push_back(nullptr);
        }
        [[noreturn]] void exec() {
            execv(built::tool(), argv.data());
            _exit(127);
        }
        std::vector<std::string> words;
        std::vector<char*> argv;
    };

    bool readSome(std::chrono::steady_clock::time_point end) {
        if (fd < 0 || ended) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd wanted{fd, POLLIN, 0};
        if (poll(&wanted, 1, int(left.count())) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            ended = got == 0 || errno == EIO; // a pseudo-terminal whose other side closed says EIO
            return false;
        }
        output.append(buffer, std::size_t(got));
        return true;
    }

    pid_t pid;
    int fd;
    bool ended = false;
    bool reaped = false;
};
