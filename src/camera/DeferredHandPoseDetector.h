#pragma once

#include "camera/HandPoseDetector.h"

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <utility>

namespace vantor::camera {

// A detector that is built only when the first picture needs it. Loading
// hand models costs memory and time that a session without a camera, or one
// that never opens the gesture tab, should not pay. The build runs on a
// thread of its own, started by the first picture (prepare()): the camera
// worker goes on without waiting, so that stopping the camera (a tab
// change, a quit) never waits for a load either; until the detector is
// there (isReady()), pictures are not read. If building fails the detector
// finds no hand, for good. Destroying it waits for a build in progress.
class DeferredHandPoseDetector final : public HandPoseDetector {
public:
    using Factory = std::function<std::unique_ptr<HandPoseDetector>()>;

    explicit DeferredHandPoseDetector(Factory build) : build_(std::move(build)) {}
    ~DeferredHandPoseDetector() override {
        if (loading_.valid()) loading_.wait();
    }

    void prepare() override {
        if (loading_.valid()) return;
        loading_ = std::async(std::launch::async, [this] {
            detector_ = build_();
            built_.store(true, std::memory_order_release);
        });
    }
    bool isReady() const override { return built_.load(std::memory_order_acquire); }

    // Asked before it is ready, it builds the detector and waits for it.
    std::optional<std::vector<HandObservation>> detect(const VideoFrame& frame) override {
        if (!isReady()) {
            prepare();
            loading_.wait();
        }
        if (!detector_) return std::vector<HandObservation>{};
        return detector_->detect(frame);
    }

    // Until it is built it cannot know better than yes.
    bool canFindHands() const override {
        return !built_.load(std::memory_order_acquire) || (detector_ && detector_->canFindHands());
    }

private:
    Factory build_;                              // the build's thread, once started
    std::unique_ptr<HandPoseDetector> detector_; // written by the build before built_, then the worker's
    std::atomic<bool> built_{false};
    std::future<void> loading_; // the build, once started; waited for when the detector goes
};

} // namespace vantor::camera
