#pragma once

#include "camera/VideoFrame.h"

#include <opencv2/core/mat.hpp>

#include <optional>

namespace vantor::platform {

// A copy of an 8-bit gray, BGR or BGRA picture as a BGR VideoFrame (the
// capture reuses its buffer for the next picture, and the frame travels on to
// other threads). Other pixel types and empty pictures give std::nullopt.
std::optional<camera::VideoFrame> toVideoFrame(const cv::Mat& picture);

} // namespace vantor::platform
