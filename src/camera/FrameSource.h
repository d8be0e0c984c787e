#pragma once

#include "camera/VideoFrame.h"

#include <optional>

namespace vantor::camera {

// A camera read picture by picture, driven by WorkerCaptureSession.
// hasInput() is fixed when the source is built; open(), read() and close()
// run on the session's worker thread, one run at a time.
class FrameSource {
public:
    virtual ~FrameSource() = default;

    virtual bool hasInput() const = 0;

    // Prepares a run; false when the camera cannot deliver now.
    virtual bool open() = 0;
    // Blocks until the newest picture is ready (about one frame period);
    // std::nullopt when none could be read.
    virtual std::optional<VideoFrame> read() = 0;
    // Ends a run and lets go of the device.
    virtual void close() = 0;
};

} // namespace vantor::camera
