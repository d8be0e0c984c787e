// The entry point of the hand-tracking module.
#include "platform/handpose/MediaPipeHandDetector.h"
#include "platform/handtracking/HandTrackingModule.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) vantor::camera::HandPoseDetector*
vantor2_create_hand_detector(std::string* error) {
    std::string detail;
    auto detector = vantor::platform::makeMediaPipeHandDetector(detail);
    if (!detector && error) *error = detail;
    return detector.release();
}

static_assert(std::is_same_v<decltype(&vantor2_create_hand_detector), vantor::platform::CreateHandDetector>);
