#include "support/ManualMainQueue.h"

#include <algorithm>

namespace vantor::testing {

void ManualMainQueue::post(Task task) {
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(task));
}

void ManualMainQueue::postAfter(std::chrono::milliseconds delay, Task task) {
    std::lock_guard lock(mutex_);
    delayed_.push_back({now_ + delay, nextOrder_++, std::move(task)});
}

bool ManualMainQueue::runOne() {
    Task task;
    {
        std::lock_guard lock(mutex_);
        if (ready_.empty()) return false;
        task = std::move(ready_.front());
        ready_.pop_front();
    }
    task();
    return true;
}

std::size_t ManualMainQueue::runAll() {
    std::size_t count = 0;
    while (runOne()) ++count;
    return count;
}

void ManualMainQueue::advance(std::chrono::milliseconds by) {
    std::lock_guard lock(mutex_);
    now_ += by;
    std::stable_sort(delayed_.begin(), delayed_.end(), [](const Delayed& a, const Delayed& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    auto firstLater = std::find_if(delayed_.begin(), delayed_.end(),
                                   [this](const Delayed& entry) { return entry.due > now_; });
    for (auto it = delayed_.begin(); it != firstLater; ++it) ready_.push_back(std::move(it->task));
    delayed_.erase(delayed_.begin(), firstLater);
}

std::size_t ManualMainQueue::readyCount() const {
    std::lock_guard lock(mutex_);
    return ready_.size();
}

std::size_t ManualMainQueue::delayedCount() const {
    std::lock_guard lock(mutex_);
    return delayed_.size();
}

} // namespace vantor::testing
