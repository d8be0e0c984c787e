#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vantor::e2e {

// A program a test starts and stops itself, by process id. Either all its
// output is discarded, or its standard output can be read line by line
// through a pipe while its standard error goes to the test's.
class ChildProcess {
public:
    enum class Output { Discard, Pipe };

    ChildProcess(const std::vector<std::string>& argv, Output output);
    ~ChildProcess(); // stops the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }

    // The next whole line of output, waiting at most `timeout`; nothing at
    // the end of output or on time-out.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    void signal(int number) const;
    // Whether the child has installed a handler for signal `number` (its
    // /proc status lists the signal as caught), so that sending it tests
    // the program's own handling rather than the default action.
    bool catches(int number) const;
    // Waits for the child to end; its exit status (as waitpid reports it),
    // or nothing on time-out.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL if it has not ended within `grace`.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
    bool running();

private:
    pid_t pid_ = -1;
    int outputFd_ = -1;
    std::string buffered_;
    std::optional<int> status_;
};

} // namespace vantor::e2e
