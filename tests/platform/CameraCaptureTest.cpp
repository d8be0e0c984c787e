#include "camera/CaptureSession.h"
#include "platform/camera/DefaultCamera.h"
#include "platform/camera/OpenCvFrameSource.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace vantor::platform {
namespace {

bool machineHasCamera() { return std::filesystem::exists("/dev/video0"); }

TEST(CameraCapture, WithoutACameraTheSessionHasNoInputAndStaysSilent) {
    if (machineHasCamera()) GTEST_SKIP() << "this machine has a camera";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        OpenCvFrameSource source;
        EXPECT_FALSE(source.hasInput());
        EXPECT_NE(source.open(), camera::SourceStatus::Ready);
        EXPECT_NE(source.read({}).status, camera::SourceStatus::Ready);
        source.close();

        auto session = makeDefaultCaptureSession();
        EXPECT_FALSE(session->hasInput());
        session->startRunning();
        EXPECT_FALSE(session->isRunning());
        session->stopRunning();
        session->stopRunning();
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
    EXPECT_TRUE(testing::waitUntil([&] { return valid.load() >= 3; }, std::chrono::seconds(10)));
    session->stopRunning();
}

} // namespace
} // namespace vantor::platform
