#pragma once
// Runs the real loggersim binary (and peer programs) for end-to-end tests: private temporary folders,
// processes stopped by their own PID, every wait a condition with a deadline.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace simtest {

inline std::string makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "loggersim-test-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// A child process with its stdout on a pipe (when asked) and the given descriptor as stdin/stdout.
struct Child {
    pid_t pid = -1;
    int out = -1;

    static Child spawn(const std::vector<std::string>& argv, int stdio = -1, bool pipeOut = true,
                       const std::string& cwd = {}) {
        Child child;
        int fds[2] = {-1, -1};
        if (pipeOut && ::pipe(fds) != 0) return child;
        child.pid = ::fork();
        if (child.pid == 0) {
            if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
            if (stdio >= 0) {
                ::dup2(stdio, 0);
                ::dup2(stdio, 1);
            } else if (pipeOut) {
                ::dup2(fds[1], 1);
            }
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        if (pipeOut) {
            ::close(fds[1]);
            child.out = fds[0];
        }
        return child;
    }

    // One line of the child's stdout, within the deadline.
    std::string readLine(int deadlineMs = 10000) const {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
        while (std::chrono::steady_clock::now() < end) {
            struct pollfd p {out, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::read(out, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }

    // Waits for the exit status within the deadline; -1 when still running.
    int wait(int deadlineMs = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
        while (pid > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    void stop() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            if (wait(5000) < 0 && pid > 0) {
                ::kill(pid, SIGKILL);
                wait(5000);
            }
        }
        if (out >= 0) ::close(out);
        out = -1;
    }
    ~Child() { stop(); }
    Child() = default;
    Child(Child&& other) noexcept : pid(other.pid), out(other.out) { other.pid = -1; other.out = -1; }
};

// Opens a serial device (or pty) raw, as the workbench would.
inline int openRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return fd;
    struct termios t {};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

inline void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += std::size_t(n);
    }
}

// Reads until `count` bytes have come or the deadline passed.
inline std::string readBytes(int fd, std::size_t count, int deadlineMs = 10000) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        struct pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) got.append(buffer, std::size_t(n));
    }
    return got;
}

// Reads until the text has been seen or the deadline passed; returns everything read.
inline std::string readUntil(int fd, const std::string& text, int deadlineMs = 10000) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
        got += readBytes(fd, 1, 50);
    }
    return got;
}

}  // namespace simtest
