#include "camera/CaptureSession.h"
#include "platform/camera/DefaultCamera.h"
#include "platform/camera/SystemV4l2Device.h"
#include "platform/camera/V4l2FrameSource.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace vantor::platform {
namespace {

using camera::SourceStatus;

bool machineHasCamera() { return std::filesystem::exists("/dev/video0"); }

TEST(CameraCapture, NoCameraOrANodeThatIsNoCameraGivesNoInputAndStaysSilent) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        // A character device that answers no V4L2 request.
        V4l2FrameSource notACamera(std::make_unique<SystemV4l2Device>("/dev/null"));
        EXPECT_FALSE(notACamera.hasInput());

        V4l2FrameSource missing(std::make_unique<SystemV4l2Device>("/dev/no-such-video"));
        EXPECT_FALSE(missing.hasInput());
        EXPECT_EQ(missing.open(), SourceStatus::Gone);
        EXPECT_EQ(missing.read({}).status, SourceStatus::NotNow);
        missing.close();

        if (!machineHasCamera()) {
            auto session = makeDefaultCaptureSession();
            EXPECT_FALSE(session->hasInput());
            EXPECT_EQ(session->inputState(), camera::InputState::None);
            session->startRunning();
            EXPECT_FALSE(session->isRunning());
            session->stopRunning();
        }
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(CameraCapture, WithACameraPicturesArriveOnTheWorker) {
    if (!machineHasCamera()) GTEST_SKIP() << "no camera on this machine";
    auto session = makeDefaultCaptureSession();
    if (!session->hasInput()) GTEST_SKIP() << "/dev/video0 is not a capture device";
    std::atomic<int> valid{0};
    session->setFrameHandler([&](const camera::VideoFrame& frame) {
        if (frame.isValid()) ++valid;
    });
    session->startRunning();
    EXPECT_TRUE(testing::waitUntil([&] { return valid.load() >= 3; }));
    session->stopRunning();
}

} // namespace
} // namespace vantor::platform
