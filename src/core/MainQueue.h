#pragma once

#include <chrono>
#include <functional>

namespace vantor {

// Work deferred to the main (interface) thread. A posted task runs after the
// current event has been handled, never inside the call that posts it.
// post() and postAfter() may be called from any thread; tasks run in the
// order they were posted (delayed ones in the order they fall due).
class MainQueue {
public:
    using Task = std::function<void()>;

    virtual ~MainQueue() = default;
    virtual void post(Task task) = 0;
    virtual void postAfter(std::chrono::milliseconds delay, Task task) = 0;
    // The time that postAfter() counts from: the steady clock, unless a
    // test turns time by hand.
    virtual std::chrono::steady_clock::time_point now() const { return std::chrono::steady_clock::now(); }
};

} // namespace vantor
