#pragma once

#include "camera/CaptureSession.h"

#include <memory>

namespace vantor::platform {

// The capture session of the default camera, /dev/video0, read by one
// worker thread while it runs. Without a camera it has no input: starting
// and stopping it does nothing, silently.
std::unique_ptr<camera::CaptureSession> makeDefaultCaptureSession();

} // namespace vantor::platform
