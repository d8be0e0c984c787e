#pragma once

#include "camera/HandPoseDetector.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace vantor::camera {

// The five values a hand drives, in the order of the panel's rows.
enum class TrackedValue : std::size_t { ThumbHeight, IndexHeight, MiddleHeight, Pinch, Tilt };
inline constexpr std::size_t kTrackedValueCount = 5;
using TrackedValues = std::array<double, kTrackedValueCount>;

constexpr std::size_t index(TrackedValue value) { return static_cast<std::size_t>(value); }

// A joint drawn over the picture: normalised, origin at the lower left.
struct TrackingPoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const TrackingPoint&) const = default;
};

// Scale of the tilt value: a full turn of the hand spans 0..kTiltSensitivity.
inline constexpr double kTiltSensitivity = 0.5;
// Tilt joints must be seen more surely than this. Compared in single
// precision, as the detector reports it, so a confidence of exactly 0.6f
// does not pass.
inline constexpr float kTiltMinimumConfidence = 0.6f;

// A joint that was found and whose coordinates are sane numbers. A detector
// that reports NaN, infinity or an absurdly large coordinate for a joint has
// in effect not found it; letting such a number through would poison the
// smoothing memory for good.
std::optional<JointPoint> usableJoint(const HandObservation& hand, HandJoint joint);

// The direction from the wrist to the midpoint of the index and little-finger
// tips, mapped from -pi..pi onto 0..sensitivity (pointing right: a quarter of
// it). 0 when one of the three joints is missing or not seen surely enough.
double calculateTilt(const HandObservation& hand, double sensitivity = kTiltSensitivity);

// Thumb, index and middle tip heights, thumb-index pinch distance and tilt;
// std::nullopt when the thumb, index or middle tip cannot be looked up.
std::optional<TrackedValues> rawTrackedValues(const HandObservation& hand);

// Wrist, thumb tip, index tip and middle tip as found, in that order; joints
// that cannot be looked up are left out.
std::vector<TrackingPoint> overlayPoints(const HandObservation& hand);

} // namespace vantor::camera
