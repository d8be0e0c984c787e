#include "camera/WorkerCaptureSession.h"

#include <condition_variable>
#include <utility>

namespace vantor::camera {

WorkerCaptureSession::WorkerCaptureSession(std::unique_ptr<FrameSource> source,
                                           std::chrono::milliseconds retryDelay)
    : source_(std::move(source)), retryDelay_(retryDelay),
      inputState_(source_ && source_->hasInput() ? InputState::Available : InputState::None) {}

WorkerCaptureSession::~WorkerCaptureSession() { stopRunning(); }

bool WorkerCaptureSession::hasInput() const { return source_ && source_->hasInput(); }

InputState WorkerCaptureSession::inputState() const { return inputState_.load(); }

void WorkerCaptureSession::setFrameHandler(FrameHandler handler) {
    // The worker reads the handler without a lock, so it may only change
    // while no worker exists.
    if (worker_.joinable()) return;
    frameHandler_ = std::move(handler);
}

void WorkerCaptureSession::setInputStateHandler(InputStateHandler handler) {
    if (worker_.joinable()) return; // read by the worker without a lock
    inputStateHandler_ = std::move(handler);
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
    if (!hasInput() || isRunning()) return;
    // A worker that ended by itself (its camera went away) is finished:
    // joining it does not wait.
    if (worker_.joinable()) worker_.join();
    workerEnded_ = false;
    worker_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

void WorkerCaptureSession::stopRunning() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
}

bool WorkerCaptureSession::isRunning() const { return worker_.joinable() && !workerEnded_.load(); }

void WorkerCaptureSession::run(std::stop_token stop) {
    if (capture(stop)) {
        changeInputState(InputState::Lost);
        clearPreview();
    }
    workerEnded_ = true;
}

bool WorkerCaptureSession::capture(const std::stop_token& stop) {
    for (;;) {
        const SourceStatus opened = source_->open();
        if (opened == SourceStatus::Ready) break;
        if (opened == SourceStatus::Gone) return true;
        if (!pauseBeforeRetry(stop)) return false;
    }
    changeInputState(InputState::Available);
    bool gone = false;
    while (!stop.stop_requested()) {
        const FrameRead got = source_->read(stop);
        if (got.status == SourceStatus::Gone) {
            gone = true;
            break;
        }
        if (got.status != SourceStatus::Ready || !got.picture.isValid()) {
            if (!pauseBeforeRetry(stop)) break;
            continue;
        }
        deliver(got.picture);
    }
    source_->close();
    return gone;
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

void WorkerCaptureSession::changeInputState(InputState state) {
    if (inputState_.exchange(state) != state && inputStateHandler_) inputStateHandler_(state);
}

void WorkerCaptureSession::clearPreview() {
    std::lock_guard lock(previewMutex_);
    if (previewHandler_) previewHandler_(VideoFrame{});
}

} // namespace vantor::camera
