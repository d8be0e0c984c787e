#pragma once

#include "camera/CaptureSession.h"
#include "support/HandFrames.h"

#include <cstddef>

namespace vantor::testing {

// A capture session without a thread: the test plays the worker and hands
// each picture over with deliver(), which, like a real session, delivers only
// while the session runs.
class ScriptedCaptureSession : public camera::CaptureSession {
public:
    explicit ScriptedCaptureSession(bool hasInput = true) : hasInput_(hasInput) {}

    // Runs the handlers on the calling thread; false (and nothing runs) while
    // the session is stopped.
    bool deliver(const camera::VideoFrame& frame = numberedFrame(0)) {
        if (!running_) return false;
        if (frameHandler_) frameHandler_(frame);
        if (previewHandler_) previewHandler_(frame);
        return true;
    }

    // The camera goes away mid-run, as WorkerCaptureSession reports it.
    void loseCamera() {
        running_ = false;
        lost_ = true;
        if (inputStateHandler_) inputStateHandler_(camera::InputState::Lost);
        if (previewHandler_) previewHandler_(camera::VideoFrame{});
    }

    bool hasFrameHandler() const { return static_cast<bool>(frameHandler_); }
    std::size_t startCount() const { return starts_; }
    std::size_t stopCount() const { return stops_; }

    bool hasInput() const override { return hasInput_; }
    camera::InputState inputState() const override {
        if (!hasInput_) return camera::InputState::None;
        return lost_ ? camera::InputState::Lost : camera::InputState::Available;
    }
    void setFrameHandler(FrameHandler handler) override { frameHandler_ = std::move(handler); }
    void setInputStateHandler(InputStateHandler handler) override { inputStateHandler_ = std::move(handler); }
    void setPreviewHandler(FrameHandler handler) override { previewHandler_ = std::move(handler); }
    // The camera is found again at every start.
    void startRunning() override {
        ++starts_;
        running_ = hasInput_;
        if (lost_ && inputStateHandler_) inputStateHandler_(camera::InputState::Available);
        lost_ = false;
    }
    void stopRunning() override {
        ++stops_;
        running_ = false;
    }
    bool isRunning() const override { return running_; }

private:
    bool hasInput_;
    bool running_ = false;
    bool lost_ = false;
    std::size_t starts_ = 0;
    std::size_t stops_ = 0;
    FrameHandler frameHandler_;
    InputStateHandler inputStateHandler_;
    FrameHandler previewHandler_;
};

} // namespace vantor::testing
