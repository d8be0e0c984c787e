#pragma once

#include "camera/FrameSource.h"
#include "platform/camera/V4l2Device.h"

#include <chrono>
#include <memory>

namespace vantor::platform {

// A V4L2 camera streamed through memory-mapped buffers, its pictures turned
// into BGR by libv4lconvert whatever format the camera sends (YUYV, MJPEG,
// ...). Whether the camera exists is decided once, when the source is built;
// a missing camera is not an error and prints nothing. The device is held
// only during a run, so the camera is free (and its light off) while the
// session is stopped.
class V4l2FrameSource final : public camera::FrameSource {
public:
    // A few buffers: enough for the driver to fill one while another is
    // read, few enough that none waits long.
    static constexpr std::uint32_t kBufferCount = 3;
    // Asked for, not insisted on: the driver picks its nearest size. The
    // hand models read 192 and 224 pixel squares; more only costs time.
    static constexpr std::uint32_t kWidth = 640;
    static constexpr std::uint32_t kHeight = 480;
    // How long a read waits for a picture before answering NotNow.
    static constexpr std::chrono::seconds kPictureWait{1};

    explicit V4l2FrameSource(std::unique_ptr<V4l2Device> device);
    ~V4l2FrameSource() override;

    V4l2FrameSource(const V4l2FrameSource&) = delete;
    V4l2FrameSource& operator=(const V4l2FrameSource&) = delete;

    bool hasInput() const override { return hasInput_; }
    camera::SourceStatus open() override;
    // The newest picture: all that are waiting are taken and only the last
    // one is converted. When every buffer was full the driver had nowhere
    // to put newer pictures, so the newest of them may be old: then the
    // buffers go back and the next picture is waited for. A stream the
    // driver puts in its error state is restarted once; if it will not
    // start, or breaks again before a picture came, the camera is Gone.
    camera::FrameRead read(std::stop_token stop) override;
    void close() override;

private:
    class Run;

    const std::unique_ptr<V4l2Device> device_; // worker thread while a run lasts
    bool hasInput_ = false;
    std::unique_ptr<Run> run_; // worker thread
    bool restartedWithoutPicture_ = false; // worker thread
};

} // namespace vantor::platform
