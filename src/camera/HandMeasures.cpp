#include "camera/HandMeasures.h"

#include <cmath>
#include <numbers>

namespace vantor::camera {

namespace {

// Joints just outside the picture have coordinates a little beyond 0..1; a
// coordinate beyond this bound is garbage, and numbers near the top of the
// double range would overflow to infinity in the pinch or the smoothing.
constexpr double kCoordinateBound = 1.0e6;

bool isUsableCoordinate(double value) { return std::isfinite(value) && std::abs(value) <= kCoordinateBound; }

} // namespace

std::optional<JointPoint> usableJoint(const HandObservation& hand, HandJoint joint) {
    auto point = hand.recognizedPoint(joint);
    if (point && isUsableCoordinate(point->x) && isUsableCoordinate(point->y)) return point;
    return std::nullopt;
}

double calculateTilt(const HandObservation& hand, double sensitivity) {
    const auto wrist = usableJoint(hand, HandJoint::Wrist);
    const auto indexTip = usableJoint(hand, HandJoint::IndexTip);
    const auto littleTip = usableJoint(hand, HandJoint::LittleTip);
    if (!wrist || !indexTip || !littleTip) return 0.0;
    for (const auto& joint : {*wrist, *indexTip, *littleTip}) {
        // Written as "not greater" so that a NaN confidence fails too.
        if (!(joint.confidence > kTiltMinimumConfidence)) return 0.0;
    }
    const double midX = (indexTip->x + littleTip->x) * 0.5;
    const double midY = (indexTip->y + littleTip->y) * 0.5;
    const double angle = std::atan2(midY - wrist->y, midX - wrist->x);
    return ((angle + std::numbers::pi) / (2.0 * std::numbers::pi)) * sensitivity;
}

std::optional<TrackedValues> rawTrackedValues(const HandObservation& hand) {
    const auto thumb = usableJoint(hand, HandJoint::ThumbTip);
    const auto indexTip = usableJoint(hand, HandJoint::IndexTip);
    const auto middle = usableJoint(hand, HandJoint::MiddleTip);
    if (!thumb || !indexTip || !middle) return std::nullopt;
    const double pinch = std::hypot(thumb->x - indexTip->x, thumb->y - indexTip->y);
    return TrackedValues{thumb->y, indexTip->y, middle->y, pinch, calculateTilt(hand)};
}

std::vector<TrackingPoint> overlayPoints(const HandObservation& hand) {
    std::vector<TrackingPoint> points;
    for (const auto joint : {HandJoint::Wrist, HandJoint::ThumbTip, HandJoint::IndexTip, HandJoint::MiddleTip}) {
        if (const auto point = usableJoint(hand, joint)) points.push_back({point->x, point->y});
    }
    return points;
}

} // namespace vantor::camera
