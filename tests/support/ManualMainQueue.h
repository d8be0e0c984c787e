#pragma once

#include "core/MainQueue.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace vantor::testing {

// A main queue that runs nothing until the test says so. Delayed tasks wait
// on a virtual clock that only advance() moves. post() is thread-safe, so a
// worker thread may post while the test drains.
class ManualMainQueue : public MainQueue {
public:
    void post(Task task) override;
    void postAfter(std::chrono::milliseconds delay, Task task) override;

    // Runs the oldest ready task; false when none is ready.
    bool runOne();
    // Runs ready tasks, including those they post, until none is ready;
    // returns how many ran.
    std::size_t runAll();
    // Moves the virtual clock; delayed tasks that fall due become ready in
    // the order of their due time (then of posting).
    void advance(std::chrono::milliseconds by);

    std::size_t readyCount() const;
    std::size_t delayedCount() const;
    std::chrono::milliseconds now() const { return now_; }

private:
    struct Delayed {
        std::chrono::milliseconds due;
        std::uint64_t order;
        Task task;
    };

    mutable std::mutex mutex_;
    std::deque<Task> ready_;
    std::vector<Delayed> delayed_;
    std::chrono::milliseconds now_{0};
    std::uint64_t nextOrder_ = 0;
};

} // namespace vantor::testing
