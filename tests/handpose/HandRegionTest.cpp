// The rotated regions between palm, landmarks and the next frame.
#include "platform/handpose/HandRegion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vantor::handpose {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TEST(NormalizeRadiansTest, BringsAnglesIntoOneTurn) {
    EXPECT_NEAR(normalizeRadians(0.5f), 0.5f, 1e-6);
    EXPECT_NEAR(normalizeRadians(2.0f * kPi + 0.5f), 0.5f, 1e-5);
    EXPECT_NEAR(normalizeRadians(-2.0f * kPi - 0.5f), -0.5f, 1e-5);
    EXPECT_NEAR(normalizeRadians(1.5f * kPi), -0.5f * kPi, 1e-5);
}

PalmDetection uprightPalm() {
    PalmDetection palm;
    palm.xMin = 0.4f;
    palm.yMin = 0.4f;
    palm.width = 0.1f;
    palm.height = 0.1f;
    palm.keypoints[0] = {0.45f, 0.5f}; // wrist centre below
    palm.keypoints[2] = {0.45f, 0.4f}; // middle knuckle above
    return palm;
}

TEST(HandRegionFromPalmTest, UprightPalmGrowsUpwardsUnrotated) {
    const RotatedRect r = handRegionFromPalm(uprightPalm(), {100, 100});
    EXPECT_NEAR(r.rotation, 0.0f, 1e-6);
    EXPECT_NEAR(r.xCenter, 0.45f, 1e-6);
    EXPECT_NEAR(r.yCenter, 0.45f - 0.05f, 1e-6); // shifted up by half the palm
    EXPECT_NEAR(r.width, 0.26f, 1e-6);
    EXPECT_NEAR(r.height, 0.26f, 1e-6);
}

TEST(HandRegionFromPalmTest, HandPointingRightTurnsAQuarterAndShiftsRight) {
    PalmDetection palm = uprightPalm();
    palm.keypoints[0] = {0.4f, 0.45f};
    palm.keypoints[2] = {0.5f, 0.45f};
    const RotatedRect r = handRegionFromPalm(palm, {100, 100});
    EXPECT_NEAR(r.rotation, kPi / 2.0f, 1e-5);
    EXPECT_NEAR(r.xCenter, 0.5f, 1e-5);
    EXPECT_NEAR(r.yCenter, 0.45f, 1e-5);
}

TEST(HandRegionFromPalmTest, RegionIsSquareInPixelsOnAWidePicture) {
    const RotatedRect r = handRegionFromPalm(uprightPalm(), {200, 100});
    EXPECT_NEAR(r.width * 200.0f, r.height * 100.0f, 1e-3);
    EXPECT_NEAR(r.height * 100.0f, 2.6f * 20.0f, 1e-3); // long side: 0.1 of 200 px
}

TEST(ProjectLandmarksTest, CentreAndCornersOfATurnedRegion) {
    const RotatedRect region{0.5f, 0.5f, 0.2f, 0.2f, kPi / 2.0f};
    HandLandmarks inRegion{};
    inRegion[0] = {0.5f, 0.5f};
    inRegion[1] = {0.5f, 0.0f}; // top of the region: after a quarter turn clockwise, its right side
    const HandLandmarks out = projectLandmarks(inRegion, region);
    EXPECT_NEAR(out[0].x, 0.5f, 1e-6);
    EXPECT_NEAR(out[0].y, 0.5f, 1e-6);
    EXPECT_NEAR(out[1].x, 0.6f, 1e-6);
    EXPECT_NEAR(out[1].y, 0.5f, 1e-6);
}

TEST(HandRegionFromLandmarksTest, FollowsTheHandAndCoversItsBase) {
    // An upright hand: wrist at the bottom, knuckles 0.1 above.
    HandLandmarks hand{};
    for (auto& p : hand) p = {0.5f, 0.5f};
    hand[0] = {0.5f, 0.6f};
    hand[5] = {0.45f, 0.5f};
    hand[9] = {0.5f, 0.5f};
    hand[13] = {0.55f, 0.5f};
    const RotatedRect r = handRegionFromLandmarks(hand, {100, 100});
    EXPECT_NEAR(r.rotation, 0.0f, 1e-5);
    EXPECT_NEAR(r.xCenter, 0.5f, 1e-5);
    EXPECT_NEAR(r.yCenter, 0.55f - 0.1f * 0.1f, 1e-5); // box centre, shifted up by a tenth of its height
    EXPECT_NEAR(r.width, 0.2f, 1e-5);                  // long side 0.1, doubled
    EXPECT_NEAR(r.height, 0.2f, 1e-5);
}

} // namespace
} // namespace vantor::handpose
