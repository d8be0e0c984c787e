#pragma once

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// A child program whose standard output the test reads line by line.
class GuestProcess {
public:
    static constexpr int kWaitMs = 20000; // generous: the guest may run without KVM

    explicit GuestProcess(std::vector<std::string> argv) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (auto& arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
    }
    ~GuestProcess() {
        kill(SIGKILL);
        if (out_ >= 0) close(out_);
    }
    GuestProcess(const GuestProcess&) = delete;
    GuestProcess& operator=(const GuestProcess&) = delete;

    // Reads lines until one matches; false when output ended or went quiet.
    bool waitForLine(const std::string& pattern) {
        const std::regex wanted(pattern);
        while (true) {
            for (auto end = buffer_.find('\n'); end != std::string::npos; end = buffer_.find('\n')) {
                const std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (std::regex_search(line, wanted)) return true;
            }
            pollfd fd{out_, POLLIN, 0};
            if (poll(&fd, 1, kWaitMs) <= 0) return false;
            char chunk[4096];
            const ssize_t got = read(out_, chunk, sizeof chunk);
            if (got <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // Stops the child and waits until the kernel has it stopped.
    bool pause() {
        if (pid_ <= 0 || ::kill(pid_, SIGSTOP) != 0) return false;
        int status = 0;
        return waitpid(pid_, &status, WUNTRACED) == pid_ && WIFSTOPPED(status);
    }
    void resume() {
        if (pid_ > 0) ::kill(pid_, SIGCONT);
    }
    // Ends the child and reaps it, so that everything it held is released.
    void kill(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};
