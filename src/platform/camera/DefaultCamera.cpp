#include "platform/camera/DefaultCamera.h"

#include "camera/WorkerCaptureSession.h"
#include "platform/camera/SystemV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"

namespace vantor::platform {

std::unique_ptr<camera::CaptureSession> makeDefaultCaptureSession() {
    return std::make_unique<camera::WorkerCaptureSession>(
        std::make_unique<V4l2FrameSource>(std::make_unique<SystemV4l2Device>("/dev/video0")));
}

} // namespace vantor::platform
