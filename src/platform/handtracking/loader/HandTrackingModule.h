#pragma once

// The hand tracker lives in a module of its own (handtracking.so) that the
// program loads only when the camera's first picture needs it: OpenCV,
// XNNPACK and what they bring (BLAS, LAPACK, Fortran's runtime) would
// otherwise be loaded and relocated at every start, before the splash shows.
#include "camera/HandPoseDetector.h"

#include <string>

namespace vantor::handtracking {

// The module's one entry point: the program's detector (lite models, found
// beside the executable), or nullptr with `error` set to one line.
using CreateHandDetector = camera::HandPoseDetector* (*)(std::string* error);
inline constexpr const char* kCreateHandDetectorSymbol = "vantor2_create_hand_detector";

// The module beside the running program: <bin>/../lib/vantor2/handtracking.so.
std::string defaultHandTrackingModulePath();

} // namespace vantor::handtracking
