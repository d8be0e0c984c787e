#pragma once

#include "core/MainQueue.h"

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace vantor::testing {

// A main queue on the steady clock, run by the thread that calls runUntil():
// what a program's event loop does, without Qt. Any thread may post.
class SteadyMainQueue : public MainQueue {
public:
    using Clock = std::chrono::steady_clock;

    void post(Task task) override {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(task));
    }
    void postAfter(std::chrono::milliseconds delay, Task task) override {
        std::lock_guard lock(mutex_);
        delayed_.emplace(Clock::now() + delay, std::move(task));
    }

    // Runs tasks as they fall due until `deadline`, sleeping in between.
    void runUntil(Clock::time_point deadline) {
        while (true) {
            Task task;
            {
                std::lock_guard lock(mutex_);
                const auto now = Clock::now();
                for (auto due = delayed_.begin(); due != delayed_.end() && due->first <= now;) {
                    ready_.push_back(std::move(due->second));
                    due = delayed_.erase(due);
                }
                if (!ready_.empty()) {
                    task = std::move(ready_.front());
                    ready_.pop_front();
                } else if (now >= deadline) {
                    return;
                }
            }
            if (task) {
                task();
                continue;
            }
            std::this_thread::sleep_until(std::min(deadline, nextDue()));
        }
    }
    void runFor(Clock::duration span) { runUntil(Clock::now() + span); }

private:
    Clock::time_point nextDue() const {
        std::lock_guard lock(mutex_);
        return delayed_.empty() ? Clock::time_point::max() : delayed_.begin()->first;
    }

    mutable std::mutex mutex_;
    std::deque<Task> ready_;
    std::multimap<Clock::time_point, Task> delayed_;
};

} // namespace vantor::testing
