#pragma once

// Fakes of the core's seams: a console that keeps its lines, a main queue
// the test drains, scripted random words; and waiting for a condition.
#include "core/Console.h"
#include "core/MainQueue.h"
#include "core/RandomSource.h"

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantor::testing {

// Keeps every diagnostic line; safe to write from any thread.
class ConsoleRecorder : public Console {
public:
    void printLine(std::string_view line) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Runs nothing until the test says so; any thread may post. Delayed tasks
// wait on a virtual clock that only advance() moves.
class ManualMainQueue : public MainQueue {
public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(task));
    }
    void postAfter(std::chrono::milliseconds delay, Task task) override {
        std::lock_guard lock(mutex_);
        delayed_.emplace(now_ + delay, std::move(task));
    }
    bool runOne() {
        std::unique_lock lock(mutex_);
        if (ready_.empty()) return false;
        Task task = std::move(ready_.front());
        ready_.pop_front();
        lock.unlock();
        task();
        return true;
    }
    // Also runs what the tasks post; returns how many ran.
    std::size_t runAll() {
        std::size_t count = 0;
        while (runOne()) ++count;
        return count;
    }
    // Due tasks become ready by due time, then in the order they were posted.
    void advance(std::chrono::milliseconds by) {
        std::lock_guard lock(mutex_);
        now_ += by;
        const auto due = delayed_.upper_bound(now_);
        for (auto it = delayed_.begin(); it != due; ++it) ready_.push_back(std::move(it->second));
        delayed_.erase(delayed_.begin(), due);
    }
    std::chrono::steady_clock::time_point now() const override {
        std::lock_guard lock(mutex_);
        return std::chrono::steady_clock::time_point(now_);
    }
    std::size_t readyCount() const {
        std::lock_guard lock(mutex_);
        return ready_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Task> ready_;
    std::multimap<std::chrono::milliseconds, Task> delayed_;
    std::chrono::milliseconds now_{0};
};

// Hands out the scripted words in order, then zeros.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::initializer_list<std::uint64_t> words = {}) : words_(words) {}
    void push(std::uint64_t word) { words_.push_back(word); }
    std::size_t drawn() const { return drawn_; }
    std::uint64_t nextWord() override {
        ++drawn_;
        if (words_.empty()) return 0;
        const auto word = words_.front();
        words_.pop_front();
        return word;
    }

private:
    std::deque<std::uint64_t> words_;
    std::size_t drawn_ = 0;
};

// Polls until `condition` holds; the limit only keeps a broken test from hanging.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace vantor::testing
