#pragma once

#include "camera/CameraManager.h"
#include "camera/CaptureSession.h"
#include "camera/HandPoseDetector.h"
#include "core/Console.h"
#include "core/MainQueue.h"

#include <memory>
#include <string>

namespace vantor::handtracking {

// A detector that loads the hand-tracking module `modulePath` and reads the
// models in `modelsDirectory` when the camera delivers its first picture.
// Missing files are found now (nullptr, `error` set); a module or model that
// turns out unloadable or corrupt then prints its line on standard error and
// no hand is ever found.
std::unique_ptr<camera::HandPoseDetector> makeDeferredHandDetector(const std::string& modulePath,
                                                                   const std::string& modelsDirectory,
                                                                   std::string& error);

// The program's camera manager over `session`, tracking hands with the
// deferred detector above, from the module and models beside the program.
// Without those files hand tracking is off: one line on standard error, and
// a detector that finds no hand, which the manager reports to the camera
// panel; the picture and the panel's sliders still work.
std::unique_ptr<camera::CameraManager> makeHandTrackingCameraManager(std::unique_ptr<camera::CaptureSession> session,
                                                                     MainQueue& mainQueue, Console& console);

} // namespace vantor::handtracking
