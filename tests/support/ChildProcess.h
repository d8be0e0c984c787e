#pragma once

#include "support/CoreFakes.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vantor::testing {

// A program a test starts and stops itself, by process id: its output
// discarded, or its standard output read line by line through a pipe. In a
// process group of its own, its signals go to the programs it starts too.
class ChildProcess {
public:
    enum class Output { Discard, Pipe };
    enum class Group { Ours, Own };
    ChildProcess(const std::vector<std::string>& argv, Output output, Group group = Group::Ours) : group_(group) {
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int fds[2] = {-1, -1};
        if (output == Output::Pipe && pipe2(fds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
            fcntl(fds[0], F_SETFL, O_NONBLOCK);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // In a group of its own (process group id 0: its own pid), or in ours.
        posix_spawnattr_setflags(&attributes, group == Group::Own ? POSIX_SPAWN_SETPGROUP : 0);
        if (posix_spawn(&pid_, args[0], &actions, &attributes, args.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (fds[1] >= 0) close(fds[1]);
        output_ = fds[0];
    }
    ~ChildProcess() {
        stop();
        if (output_ >= 0) close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next whole line of output; nothing at its end or on time-out.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout) {
        const auto lineOrEnd = [&] {
            char chunk[4096];
            const ssize_t got = output_ < 0 ? 0 : read(output_, chunk, sizeof chunk);
            if (got > 0) buffered_.append(chunk, static_cast<std::size_t>(got));
            return buffered_.find('\n') != std::string::npos || got == 0;
        };
        const std::size_t end = waitUntil(lineOrEnd, timeout) ? buffered_.find('\n') : std::string::npos;
        if (end == std::string::npos) return std::nullopt;
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
    }
    // Reads lines until one matches `pattern`; false when the output ends or stays quiet for `quiet`.
    bool waitForLine(const std::string& pattern, std::chrono::milliseconds quiet) {
        const std::regex wanted(pattern);
        for (auto line = readLine(quiet); line; line = readLine(quiet)) {
            if (std::regex_search(*line, wanted)) return true;
        }
        return false;
    }

    void signal(int number) const {
        if (pid_ > 0 && !status_) ::kill(group_ == Group::Own ? -pid_ : pid_, number);
    }
    // Whether the child handles signal `number` itself: bit n-1 of SigCgt in its /proc status.
    bool catches(int number) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("SigCgt:")) return (std::stoull(line.substr(7), nullptr, 16) >> (number - 1)) & 1u;
        }
        return false;
    }
    // Stops the child (SIGSTOP) and waits until it is stopped; signal(SIGCONT) lets it go on.
    bool pause() {
        int status = 0;
        signal(SIGSTOP);
        return pid_ > 0 && waitpid(pid_, &status, WUNTRACED) == pid_ && WIFSTOPPED(status);
    }
    // The exit status as waitpid reports it; nothing on time-out.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        int status = 0;
        if (!status_ && waitUntil([&] { return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) {
            status_ = status;
        }
        return status_;
    }
    bool running() { return pid_ > 0 && !wait(std::chrono::milliseconds(0)); }
    // SIGTERM, then SIGKILL if it has not ended within a few seconds; in a group of its own, what is left of
    // the group goes with it.
    void stop() {
        if (running()) {
            signal(SIGTERM);
            if (!wait(std::chrono::seconds(5))) signal(SIGKILL);
            wait(std::chrono::seconds(10));
        }
        if (group_ == Group::Own && pid_ > 0) ::kill(-pid_, SIGKILL);
    }

private:
    Group group_;
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
    std::optional<int> status_;
};

} // namespace vantor::testing
