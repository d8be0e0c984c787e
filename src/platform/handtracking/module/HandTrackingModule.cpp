// The entry point of the hand-tracking module.
#include "platform/handtracking/loader/HandTrackingModule.h"
#include "platform/handtracking/pipeline/MediaPipeHandDetector.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) vantor::camera::HandPoseDetector*
vantor2_create_hand_detector(std::string* error) {
    std::string detail;
    auto detector = vantor::handtracking::makeMediaPipeHandDetector(detail);
    if (!detector && error) *error = detail;
    return detector.release();
}

static_assert(std::is_same_v<decltype(&vantor2_create_hand_detector), vantor::handtracking::CreateHandDetector>);
