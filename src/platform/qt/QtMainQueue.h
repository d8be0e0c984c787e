#pragma once

#include "core/MainQueue.h"

#include <memory>

class QObject;

namespace vantor::platform {

// The main queue on top of the Qt event loop. Tasks are delivered to a
// private context object that lives on the thread that built the queue (the
// main thread), so they run there in posting order. When the queue goes,
// the context object goes with it and every task still waiting is dropped
// rather than run against objects that no longer exist.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue(); // on the main thread, before the event loop runs
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    // Both may be called from any thread.
    void post(Task task) override;
    void postAfter(std::chrono::milliseconds delay, Task task) override;

private:
    std::unique_ptr<QObject> context_; // main thread owns and deletes it
};

} // namespace vantor::platform
