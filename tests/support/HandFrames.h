#pragma once

#include "camera/HandMeasures.h"
#include "camera/HandPoseDetector.h"
#include "camera/VideoFrame.h"

#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <utility>
#include <vector>

namespace vantor::testing {

// A tiny valid picture whose first pixels carry `number`, so that a test can
// tell pictures apart after they crossed a thread.
camera::VideoFrame numberedFrame(std::uint32_t number);
std::uint32_t frameNumber(const camera::VideoFrame& frame);

// A hand with exactly the given joints; the others fail their lookup.
camera::HandObservation handWith(std::initializer_list<std::pair<camera::HandJoint, camera::JointPoint>> joints);

// A hand described by what the control values measure. makeHand() lays the
// joints out so that the raw values come out as stated: the thumb, index and
// middle tip heights, the thumb-index distance (at least the difference of
// the two heights) and the tilt direction (radians, 0 = midpoint of index and
// little tips straight right of the wrist; raw tilt = (angle + pi) / 2pi / 2).
struct HandShape {
    double thumbY = 0.5;
    double indexY = 0.5;
    double middleY = 0.5;
    double pinch = 0.1;
    double tiltAngle = std::numbers::pi / 2;
    float confidence = 0.9f;
};
camera::HandObservation makeHand(const HandShape& shape);

// `frames` hands moving evenly from `from` to `to`, both ends included
// ("pinch from 0.1 to 0.9 over 30 frames").
std::vector<camera::HandObservation> handRamp(const HandShape& from, const HandShape& to, std::size_t frames);

} // namespace vantor::testing
