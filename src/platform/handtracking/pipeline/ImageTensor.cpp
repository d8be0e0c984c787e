#include "ImageTensor.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace vantor::handtracking {

namespace {

void toRgbFloats(const cv::Mat& bgr, std::span<float> tensor) {
    const int channels = 3;
    for (int y = 0; y < bgr.rows; ++y) {
        const std::uint8_t* row = bgr.ptr<std::uint8_t>(y);
        float* out = tensor.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bgr.cols) * channels;
        for (int x = 0; x < bgr.cols; ++x) {
            out[0] = static_cast<float>(row[2]) / 255.0f;
            out[1] = static_cast<float>(row[1]) / 255.0f;
            out[2] = static_cast<float>(row[0]) / 255.0f;
            row += channels;
            out += channels;
        }
    }
}

} // namespace

Letterbox letterboxToTensor(const cv::Mat& bgr, int size, std::span<float> tensor) {
    const double scale = std::min(static_cast<double>(size) / bgr.cols, static_cast<double>(size) / bgr.rows);
    const double contentW = bgr.cols * scale;
    const double contentH = bgr.rows * scale;
    const cv::Matx23d transform(scale, 0.0, (size - contentW) / 2.0, 0.0, scale, (size - contentH) / 2.0);
    cv::Mat square;
    cv::warpAffine(bgr, square, transform, cv::Size(size, size), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar::all(0));
    toRgbFloats(square, tensor);
    return {static_cast<float>((size - contentW) / 2.0 / size), static_cast<float>((size - contentH) / 2.0 / size)};
}

void regionToTensor(const cv::Mat& bgr, const RotatedRect& region, int size, std::span<float> tensor) {
    const cv::RotatedRect rect(
        cv::Point2f(region.xCenter * static_cast<float>(bgr.cols), region.yCenter * static_cast<float>(bgr.rows)),
        cv::Size2f(region.width * static_cast<float>(bgr.cols), region.height * static_cast<float>(bgr.rows)),
        region.rotation * 180.0f / static_cast<float>(CV_PI));
    // Corners in the order bottom left, top left, top right (of the region
    // turned upright), onto the same corners of the square.
    cv::Point2f corners[4];
    rect.points(corners);
    const cv::Point2f source[3] = {corners[0], corners[1], corners[2]};
    const float s = static_cast<float>(size);
    const cv::Point2f target[3] = {{0.0f, s}, {0.0f, 0.0f}, {s, 0.0f}};
    const cv::Mat transform = cv::getAffineTransform(source, target);
    cv::Mat square;
    cv::warpAffine(bgr, square, transform, cv::Size(size, size), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    toRgbFloats(square, tensor);
}

Point2 removeLetterbox(Point2 p, const Letterbox& box) {
    return {(p.x - box.padX) / (1.0f - 2.0f * box.padX), (p.y - box.padY) / (1.0f - 2.0f * box.padY)};
}

} // namespace vantor::handtracking
