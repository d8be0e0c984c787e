#include "camera/WorkerCaptureSession.h"

#include <condition_variable>
#include <utility>

namespace vantor::camera {

WorkerCaptureSession::WorkerCaptureSession(std::unique_ptr<FrameSource> source,
                                           std::chrono::milliseconds retryDelay)
    : source_(std::move(source)), retryDelay_(retryDelay) {}

WorkerCaptureSession::~WorkerCaptureSession() { stopRunning(); }

bool WorkerCaptureSession::hasInput() const { return source_ && source_->hasInput(); }

void WorkerCaptureSession::setFrameHandler(FrameHandler handler) {
    // The worker reads the handler without a lock, so it may only change
    // while no worker exists.
    if (worker_.joinable()) return;
    frameHandler_ = std::move(handler);
}

void WorkerCaptureSession::setPreviewHandler(FrameHandler handler) {
    FrameHandler old;
    {
        std::lock_guard lock(previewMutex_);
        old = std::exchange(previewHandler_, std::move(handler));
    }
    // `old` dies here, outside the lock: its captures may own things whose
    // destruction must not happen while the worker waits on the mutex.
}

void WorkerCaptureSession::startRunning() {
    if (worker_.joinable() || !hasInput()) return;
    worker_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

void WorkerCaptureSession::stopRunning() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
}

bool WorkerCaptureSession::isRunning() const { return worker_.joinable(); }

void WorkerCaptureSession::run(std::stop_token stop) {
    while (!source_->open()) {
        if (!pauseBeforeRetry(stop)) return;
    }
    while (!stop.stop_requested()) {
        const auto frame = source_->read();
        if (!frame || !frame->isValid()) {
            if (!pauseBeforeRetry(stop)) break;
            continue;
        }
        deliver(*frame);
    }
    source_->close();
}

bool WorkerCaptureSession::pauseBeforeRetry(const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any wakeUp;
    std::unique_lock lock(mutex);
    // Nobody notifies this variable: the wait ends at the deadline or, early,
    // when a stop is requested.
    wakeUp.wait_for(lock, stop, retryDelay_, [] { return false; });
    return !stop.stop_requested();
}

void WorkerCaptureSession::deliver(const VideoFrame& frame) {
    if (frameHandler_) frameHandler_(frame);
    std::lock_guard lock(previewMutex_);
    if (previewHandler_) previewHandler_(frame);
}

} // namespace vantor::camera
