#pragma once

#include "camera/FrameSource.h"

#include <memory>

namespace vantor::platform {

// A V4L2 camera read through OpenCV's videoio. Whether the camera exists is
// decided once, when the source is built; a missing camera is not an error
// and prints nothing. The device is held only during a run, so the camera
// is free (and its light off) while the session is stopped.
class OpenCvFrameSource final : public camera::FrameSource {
public:
    // `deviceIndex` 0 is the default camera, /dev/video0.
    explicit OpenCvFrameSource(int deviceIndex = 0);
    ~OpenCvFrameSource() override;

    OpenCvFrameSource(const OpenCvFrameSource&) = delete;
    OpenCvFrameSource& operator=(const OpenCvFrameSource&) = delete;

    bool hasInput() const override { return hasInput_; }
    camera::SourceStatus open() override;
    camera::FrameRead read(std::stop_token stop) override;
    void close() override;

private:
    struct Impl;
    const int deviceIndex_;
    bool hasInput_ = false;
    std::unique_ptr<Impl> impl_; // worker thread while a run lasts
};

} // namespace vantor::platform
