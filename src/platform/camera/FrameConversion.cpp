#include "platform/camera/FrameConversion.h"

#include <opencv2/imgproc.hpp>

#include <cstring>
#include <memory>
#include <vector>

namespace vantor::platform {

std::optional<camera::VideoFrame> toVideoFrame(const cv::Mat& picture) {
    if (picture.empty()) return std::nullopt;
    cv::Mat bgr;
    switch (picture.type()) {
    case CV_8UC3: bgr = picture; break;
    case CV_8UC1: cv::cvtColor(picture, bgr, cv::COLOR_GRAY2BGR); break;
    case CV_8UC4: cv::cvtColor(picture, bgr, cv::COLOR_BGRA2BGR); break;
    default: return std::nullopt;
    }
    // Row by row: a picture cut out of a larger one has gaps between rows.
    const auto rowBytes = static_cast<std::size_t>(bgr.cols) * 3u;
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(rowBytes * static_cast<std::size_t>(bgr.rows));
    for (int row = 0; row < bgr.rows; ++row) {
        std::memcpy(pixels->data() + rowBytes * static_cast<std::size_t>(row), bgr.ptr(row), rowBytes);
    }
    return camera::VideoFrame{bgr.cols, bgr.rows, std::move(pixels)};
}

} // namespace vantor::platform
