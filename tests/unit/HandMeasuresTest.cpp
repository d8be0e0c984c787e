#include "camera/HandMeasures.h"
#include "support/HandFrames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace vantor::camera {
namespace {

using testing::handWith;
using testing::HandShape;
using testing::makeHand;

constexpr float kSure = 0.9f;

// Wrist at the centre; the index and little tips sit symmetrically across the
// point (centre + direction), so their midpoint is exactly that point (the
// numbers are chosen to be exact in binary).
HandObservation tiltHand(double dx, double dy, float wristConfidence = kSure, float indexConfidence = kSure,
                         float littleConfidence = kSure) {
    const double mx = 0.5 + dx;
    const double my = 0.5 + dy;
    return handWith({{HandJoint::Wrist, {0.5, 0.5, wristConfidence}},
                     {HandJoint::IndexTip, {mx - dy * 0.5, my + dx * 0.5, indexConfidence}},
                     {HandJoint::LittleTip, {mx + dy * 0.5, my - dx * 0.5, littleConfidence}}});
}

struct TiltCase {
    std::string name;
    double dx;
    double dy;
    double tilt;
};

class TiltDirection : public ::testing::TestWithParam<TiltCase> {};

TEST_P(TiltDirection, MapsTheWristToFingersDirectionOntoZeroToHalf) {
    const auto& c = GetParam();
    const double tilt = calculateTilt(tiltHand(c.dx, c.dy));
    EXPECT_NEAR(tilt, c.tilt, 1e-6);
    EXPECT_GT(tilt, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, TiltDirection,
    ::testing::Values(TiltCase{"right", 0.25, 0.0, 0.25}, TiltCase{"up", 0.0, 0.25, 0.375},
                      TiltCase{"down", 0.0, -0.25, 0.125}, TiltCase{"leftExactly", -0.25, 0.0, 0.5},
                      // Pointing left, a hair below the axis: the angle is just
                      // above -pi, so the value jumps to the bottom of the range.
                      TiltCase{"leftJustBelow", -0.25, -1e-6, 0.0}),
    [](const auto& row) { return row.param.name; });

struct ConfidenceCase {
    std::string name;
    float wrist;
    float index;
    float little;
    bool counts;
};

class TiltConfidence : public ::testing::TestWithParam<ConfidenceCase> {};

TEST_P(TiltConfidence, NeedsEveryTiltJointSeenMoreSurelyThanSixTenthsInSinglePrecision) {
    const auto& c = GetParam();
    const double tilt = calculateTilt(tiltHand(0.0, 0.25, c.wrist, c.index, c.little));
    if (c.counts) {
        EXPECT_NEAR(tilt, 0.375, 1e-12);
    } else {
        EXPECT_EQ(tilt, 0.0);
    }
}

const float kJustAbove = std::nextafter(0.6f, 1.0f);
const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Boundary, TiltConfidence,
    ::testing::Values(ConfidenceCase{"allJustAbove", kJustAbove, kJustAbove, kJustAbove, true},
                      ConfidenceCase{"wristAtBoundary", 0.6f, kSure, kSure, false},
                      ConfidenceCase{"indexAtBoundary", kSure, 0.6f, kSure, false},
                      ConfidenceCase{"littleAtBoundary", kSure, kSure, 0.6f, false},
                      ConfidenceCase{"littleLow", kSure, kSure, 0.1f, false},
                      ConfidenceCase{"wristNaN", kNaN, kSure, kSure, false}),
    [](const auto& row) { return row.param.name; });

TEST(Tilt, IsZeroWhenATiltJointIsMissing) {
    for (const auto missing : {HandJoint::Wrist, HandJoint::IndexTip, HandJoint::LittleTip}) {
        auto hand = tiltHand(0.0, 0.25);
        hand.joints[static_cast<std::size_t>(missing)].reset();
        EXPECT_EQ(calculateTilt(hand), 0.0) << static_cast<int>(missing);
    }
}

TEST(RawTrackedValues, ComeInRowOrderThumbIndexMiddlePinchTilt) {
    const auto values = rawTrackedValues(makeHand({.thumbY = 0.7, .indexY = 0.4, .middleY = 0.9, .pinch = 0.5,
                                                   .tiltAngle = 0.0}));
    ASSERT_TRUE(values);
    EXPECT_DOUBLE_EQ((*values)[0], 0.7);
    EXPECT_DOUBLE_EQ((*values)[1], 0.4);
    EXPECT_DOUBLE_EQ((*values)[2], 0.9);
    EXPECT_NEAR((*values)[3], 0.5, 1e-12);
    EXPECT_NEAR((*values)[4], 0.25, 1e-12);
}

TEST(RawTrackedValues, PinchIsZeroForTouchingTipsAndRootTwoAcrossThePictureUnclamped) {
    const auto touching = handWith({{HandJoint::ThumbTip, {0.4, 0.4, kSure}},
                                    {HandJoint::IndexTip, {0.4, 0.4, kSure}},
                                    {HandJoint::MiddleTip, {0.5, 0.5, kSure}}});
    const auto corners = handWith({{HandJoint::ThumbTip, {0.0, 0.0, kSure}},
                                   {HandJoint::IndexTip, {1.0, 1.0, kSure}},
                                   {HandJoint::MiddleTip, {0.5, 0.5, kSure}}});
    EXPECT_EQ((*rawTrackedValues(touching))[index(TrackedValue::Pinch)], 0.0);
    EXPECT_DOUBLE_EQ((*rawTrackedValues(corners))[index(TrackedValue::Pinch)], std::numbers::sqrt2);
}

TEST(RawTrackedValues, TreatGarbageCoordinatesAsAJointNotFound) {
    const double garbage[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(), 1.0e300};
    for (const double bad : garbage) {
        auto tip = makeHand({});
        tip.joints[static_cast<std::size_t>(HandJoint::IndexTip)]->x = bad;
        EXPECT_FALSE(rawTrackedValues(tip)) << bad;

        auto wrist = makeHand({});
        wrist.joints[static_cast<std::size_t>(HandJoint::Wrist)]->y = bad;
        const auto values = rawTrackedValues(wrist);
        ASSERT_TRUE(values) << bad;
        EXPECT_EQ((*values)[index(TrackedValue::Tilt)], 0.0) << bad;
    }
}

TEST(OverlayPoints, AreWristThumbIndexMiddleInOrderSkippingWhatIsMissing) {
    auto hand = makeHand({.thumbY = 0.6, .indexY = 0.6, .middleY = 0.8, .pinch = 0.2});
    const auto& joints = hand.joints;
    const auto at = [&](HandJoint joint) {
        const auto& point = *joints[static_cast<std::size_t>(joint)];
        return TrackingPoint{point.x, point.y};
    };
    EXPECT_EQ(overlayPoints(hand), (std::vector<TrackingPoint>{at(HandJoint::Wrist), at(HandJoint::ThumbTip),
                                                               at(HandJoint::IndexTip), at(HandJoint::MiddleTip)}));
    hand.joints[static_cast<std::size_t>(HandJoint::ThumbTip)].reset();
    EXPECT_EQ(overlayPoints(hand),
              (std::vector<TrackingPoint>{at(HandJoint::Wrist), at(HandJoint::IndexTip), at(HandJoint::MiddleTip)}));
    EXPECT_TRUE(overlayPoints(HandObservation{}).empty());
}

} // namespace
} // namespace vantor::camera
