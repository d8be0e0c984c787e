#pragma once

#include "camera/HandPoseDetector.h"

#include <functional>
#include <memory>
#include <utility>

namespace vantor::camera {

// A detector that is built only when the first picture needs it, on the
// camera worker. Loading hand models costs memory and time that a session
// without a camera, or one that never opens the gesture tab, should not
// pay. If building fails the detector finds no hand, for good.
class DeferredHandPoseDetector final : public HandPoseDetector {
public:
    using Factory = std::function<std::unique_ptr<HandPoseDetector>()>;

    explicit DeferredHandPoseDetector(Factory build) : build_(std::move(build)) {}

    std::optional<std::vector<HandObservation>> detect(const VideoFrame& frame) override {
        if (build_) {
            detector_ = std::exchange(build_, nullptr)();
        }
        if (!detector_) return std::vector<HandObservation>{};
        return detector_->detect(frame);
    }

    // Until the first picture it cannot know better than yes.
    bool canFindHands() const override { return build_ || (detector_ && detector_->canFindHands()); }

    bool isBuilt() const { return !build_; }

private:
    Factory build_;                              // worker thread
    std::unique_ptr<HandPoseDetector> detector_; // worker thread
};

} // namespace vantor::camera
