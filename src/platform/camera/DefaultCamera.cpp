#include "platform/camera/DefaultCamera.h"

#include "camera/WorkerCaptureSession.h"
#include "platform/camera/OpenCvFrameSource.h"

namespace vantor::platform {

std::unique_ptr<camera::CaptureSession> makeDefaultCaptureSession() {
    return std::make_unique<camera::WorkerCaptureSession>(std::make_unique<OpenCvFrameSource>(0));
}

} // namespace vantor::platform
