#pragma once

// The camera's seams scripted: numbered pictures, hands with chosen joints,
// a detector, a frame source and a session without a thread.
#include "camera/CaptureSession.h"
#include "camera/FrameSource.h"
#include "camera/HandMeasures.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace vantor::testing {

// A tiny valid picture whose first bytes carry `number`.
inline camera::VideoFrame numberedFrame(std::uint32_t number) {
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(std::size_t{4 * 4 * 3}, std::uint8_t{0});
    std::memcpy(pixels->data(), &number, sizeof number);
    return {4, 4, std::move(pixels)};
}

// A hand with exactly the given joints; the others fail their lookup.
inline camera::HandObservation handWith(std::initializer_list<std::pair<camera::HandJoint, camera::JointPoint>> joints) {
    camera::HandObservation hand;
    for (const auto& [joint, point] : joints) hand.joints[static_cast<std::size_t>(joint)] = point;
    return hand;
}

// A hand seen surely with these tip heights and pinch (at least the rise from
// thumb to index tip), pointing up: raw tilt 0.375.
struct HandShape {
    double thumbY = 0.5, indexY = 0.5, middleY = 0.5, pinch = 0.1;
};
inline camera::HandObservation makeHand(const HandShape& shape) {
    const double rise = shape.indexY - shape.thumbY;
    const double indexX = 0.3 + std::sqrt(std::max(shape.pinch * shape.pinch - rise * rise, 0.0));
    return handWith({{camera::HandJoint::Wrist, {0.5, 0.1, 0.9f}},
                     {camera::HandJoint::ThumbTip, {0.3, shape.thumbY, 0.9f}},
                     {camera::HandJoint::IndexTip, {indexX, shape.indexY, 0.9f}},
                     {camera::HandJoint::MiddleTip, {0.5, shape.middleY, 0.9f}},
                     {camera::HandJoint::LittleTip, {1.0 - indexX, 0.8 - shape.indexY, 0.9f}}});
}

// Answers each run with the next scripted result, then with no hand.
class ScriptedHandPoseDetector : public camera::HandPoseDetector {
public:
    using Result = std::optional<std::vector<camera::HandObservation>>;

    void push(Result result) {
        std::lock_guard lock(mutex_);
        script_.push_back(std::move(result));
    }
    void pushHand(const camera::HandObservation& hand) { push(std::vector{hand}); }
    void pushNoHand() { push(std::vector<camera::HandObservation>{}); }
    void pushFailure() { push(std::nullopt); }
    // Plays a detector that never finds a hand (no hand models).
    void setCanFindHands(bool can) { canFindHands_ = can; }

    Result detect(const camera::VideoFrame&) override {
        std::lock_guard lock(mutex_);
        if (script_.empty()) return std::vector<camera::HandObservation>{};
        Result result; // swapped, not moved: g++ 12 takes a moved-from optional<vector> for uninitialised
        result.swap(script_.front());
        script_.pop_front();
        return result;
    }
    bool canFindHands() const override { return canFindHands_.load(); }

private:
    std::mutex mutex_;
    std::deque<Result> script_;
    std::atomic<bool> canFindHands_{true};
};

// Pictures numbered 0, 1, ..., `frameCount` of them over all runs, then NotNow;
// from picture `unplugAt` on the camera is Gone until plugBackIn().
class ScriptedFrameSource : public camera::FrameSource {
public:
    explicit ScriptedFrameSource(std::optional<std::uint32_t> frameCount) : frameCount_(frameCount) {}

    void unplugAt(std::uint32_t number) { unplugAt_ = number; }
    void plugBackIn() { unplugAt_ = kNever; }
    std::uint32_t framesRead() const { return next_.load(); }
    std::size_t reads() const { return reads_.load(); }
    std::size_t opens() const { return opens_.load(); }
    std::size_t closes() const { return closes_.load(); }

    bool hasInput() const override { return true; }
    camera::SourceStatus open() override {
        ++opens_;
        if (unplugged()) return camera::SourceStatus::Gone;
        open_ = true;
        return camera::SourceStatus::Ready;
    }
    camera::FrameRead read(std::stop_token) override {
        ++reads_;
        if (!open_) return {};
        if (unplugged()) return {camera::SourceStatus::Gone, {}};
        if (frameCount_ && next_.load() >= *frameCount_) return {};
        return {camera::SourceStatus::Ready, numberedFrame(next_++)};
    }
    void close() override {
        ++closes_;
        open_ = false;
    }

private:
    static constexpr std::int64_t kNever = -1;
    bool unplugged() const { return unplugAt_.load() != kNever && next_.load() >= unplugAt_.load(); }

    const std::optional<std::uint32_t> frameCount_;
    std::atomic<std::int64_t> unplugAt_{kNever};
    std::atomic<std::uint32_t> next_{0};
    std::atomic<std::size_t> reads_{0}, opens_{0}, closes_{0};
    std::atomic<bool> open_{false};
};

// A session without a thread: deliver() plays the worker, and like a real
// session delivers only while running (then returns true).
class ScriptedCaptureSession : public camera::CaptureSession {
public:
    explicit ScriptedCaptureSession(bool hasInput = true) : hasInput_(hasInput) {}

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

    bool hasInput() const override { return hasInput_; }
    camera::InputState inputState() const override {
        if (!hasInput_) return camera::InputState::None;
        return lost_ ? camera::InputState::Lost : camera::InputState::Available;
    }
    void setFrameHandler(FrameHandler handler) override { frameHandler_ = std::move(handler); }
    void setInputStateHandler(InputStateHandler handler) override { inputStateHandler_ = std::move(handler); }
    void setPreviewHandler(FrameHandler handler) override { previewHandler_ = std::move(handler); }
    // Every start finds the camera again.
    void startRunning() override {
        running_ = hasInput_;
        if (lost_ && inputStateHandler_) inputStateHandler_(camera::InputState::Available);
        lost_ = false;
    }
    void stopRunning() override { running_ = false; }
    bool isRunning() const override { return running_; }

private:
    bool hasInput_;
    bool running_ = false;
    bool lost_ = false;
    FrameHandler frameHandler_;
    InputStateHandler inputStateHandler_;
    FrameHandler previewHandler_;
};

} // namespace vantor::testing
