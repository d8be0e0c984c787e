#pragma once

#include "camera/VideoFrame.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace vantor::camera {

// The joints the hand control reads.
enum class HandJoint : std::size_t { Wrist, ThumbTip, IndexTip, MiddleTip, LittleTip };
inline constexpr std::size_t kHandJointCount = 5;

// A joint as a detector reports it: normalised image coordinates in 0..1 with
// the origin at the LOWER left (y grows upwards), and a confidence in 0..1.
struct JointPoint {
    double x = 0.0;
    double y = 0.0;
    float confidence = 0.0f;
};

// One detected hand. A joint the detector could not give fails its lookup.
struct HandObservation {
    std::array<std::optional<JointPoint>, kHandJointCount> joints;

    std::optional<JointPoint> recognizedPoint(HandJoint joint) const {
        return joints[static_cast<std::size_t>(joint)];
    }
};

// Finds at most one hand in a frame. std::nullopt means the run failed;
// an empty list means no hand. Called on the camera worker thread only
// (and canFindHands() once before, on the thread that builds the camera).
class HandPoseDetector {
public:
    virtual ~HandPoseDetector() = default;
    virtual std::optional<std::vector<HandObservation>> detect(const VideoFrame& frame) = 0;
    // False for a stand-in that never finds a hand, as when the hand models
    // could not be read; the camera panel then says so.
    virtual bool canFindHands() const { return true; }
    // A detector built on first use: prepare() starts the build without
    // waiting for it, and detect() runs once isReady().
    virtual void prepare() {}
    virtual bool isReady() const { return true; }
};

} // namespace vantor::camera
