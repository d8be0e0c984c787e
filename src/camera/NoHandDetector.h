#pragma once

#include "camera/HandPoseDetector.h"

namespace vantor::camera {

// Stands in while no hand-pose runtime is available: every run succeeds and
// finds no hand. It says it cannot find hands, so the camera manager leaves
// the tracked values to the panel's sliders, which then work by hand.
class NoHandDetector final : public HandPoseDetector {
public:
    std::optional<std::vector<HandObservation>> detect(const VideoFrame&) override {
        return std::vector<HandObservation>{};
    }
    bool canFindHands() const override { return false; }
};

} // namespace vantor::camera
