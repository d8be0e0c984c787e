#include "platform/camera/OpenCvFrameSource.h"

#include "platform/camera/FrameConversion.h"
#include "platform/camera/NewestFrame.h"

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <filesystem>
#include <string>

namespace vantor::platform {

namespace {

// OpenCV logs to standard error when a device cannot be opened or a picture
// cannot be read. A missing or unplugged camera must stay silent, and the
// worker retries a failed read ten times a second.
class QuietOpenCvLog {
public:
    QuietOpenCvLog() : previous_(cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT)) {}
    ~QuietOpenCvLog() { cv::utils::logging::setLogLevel(previous_); }
    QuietOpenCvLog(const QuietOpenCvLog&) = delete;
    QuietOpenCvLog& operator=(const QuietOpenCvLog&) = delete;

private:
    cv::utils::logging::LogLevel previous_;
};

bool openDevice(cv::VideoCapture& capture, int deviceIndex) {
    // Asking OpenCV for a device node that does not exist makes it complain;
    // looking first keeps the common "no camera" case quiet and quick.
    if (!std::filesystem::exists("/dev/video" + std::to_string(deviceIndex))) return false;
    QuietOpenCvLog quiet;
    if (!capture.open(deviceIndex, cv::CAP_V4L2)) return false;
    // One driver buffer: a grab then waits for a picture taken after it
    // started, instead of handing out one queued during the last analysis.
    // Drivers that refuse keep OpenCV's four; read() drains those.
    capture.set(cv::CAP_PROP_BUFFERSIZE, 1);
    return capture.isOpened();
}

} // namespace

struct OpenCvFrameSource::Impl {
    cv::VideoCapture capture;
    cv::Mat picture;
};

OpenCvFrameSource::OpenCvFrameSource(int deviceIndex)
    : deviceIndex_(deviceIndex), impl_(std::make_unique<Impl>()) {
    // Probe once, then let go: the device is opened again when a run starts.
    hasInput_ = openDevice(impl_->capture, deviceIndex_);
    impl_->capture.release();
}

OpenCvFrameSource::~OpenCvFrameSource() = default;

camera::SourceStatus OpenCvFrameSource::open() {
    const bool opened = impl_->capture.isOpened() || openDevice(impl_->capture, deviceIndex_);
    return opened ? camera::SourceStatus::Ready : camera::SourceStatus::NotNow;
}

camera::FrameRead OpenCvFrameSource::read(std::stop_token) {
    auto& capture = impl_->capture;
    if (!capture.isOpened()) return {};
    QuietOpenCvLog quiet;
    const bool grabbed = grabNewest([&] { return capture.grab(); }, [] { return std::chrono::steady_clock::now(); });
    if (!grabbed || !capture.retrieve(impl_->picture)) return {};
    auto frame = toVideoFrame(impl_->picture);
    if (!frame) return {};
    return {camera::SourceStatus::Ready, std::move(*frame)};
}

void OpenCvFrameSource::close() {
    impl_->capture.release();
    impl_->picture.release();
}

} // namespace vantor::platform
