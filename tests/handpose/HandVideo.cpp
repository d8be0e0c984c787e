#include "HandVideo.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>

namespace vantor::testing {

namespace {

// A wall-like grey, far from skin and from the table in the hand photo.
const cv::Scalar kPlainBackground(120, 128, 112);

// The copy's pixel (x, y) to the canvas: turned and scaled about its centre,
// that centre moved to the placement's.
cv::Mat placementTransform(const cv::Size& copy, const HandPlacement& placement) {
    const cv::Point2f centre(static_cast<float>(copy.width) / 2.0f, static_cast<float>(copy.height) / 2.0f);
    cv::Mat transform = cv::getRotationMatrix2D(centre, placement.degrees, placement.scale);
    transform.at<double>(0, 2) += placement.x - centre.x;
    transform.at<double>(1, 2) += placement.y - centre.y;
    return transform;
}

// Whether the copy's four outer corners all land on the canvas.
bool wholeOnCanvas(const cv::Mat& transform, const cv::Size& copy) {
    const std::array<cv::Point2d, 4> corners{cv::Point2d(0, 0), cv::Point2d(copy.width, 0), cv::Point2d(0, copy.height),
                                             cv::Point2d(copy.width, copy.height)};
    return std::ranges::all_of(corners, [&](const cv::Point2d& c) {
        const double x =
            transform.at<double>(0, 0) * c.x + transform.at<double>(0, 1) * c.y + transform.at<double>(0, 2);
        const double y =
            transform.at<double>(1, 0) * c.x + transform.at<double>(1, 1) * c.y + transform.at<double>(1, 2);
        return x >= 0.0 && x <= HandVideo::kWidth && y >= 0.0 && y <= HandVideo::kHeight;
    });
}

// Background and copy mixed by the mask's weight, rounded to the nearest value.
void composite(const cv::Mat& copy, const cv::Mat& weight, cv::Mat& canvas) {
    for (int row = 0; row < canvas.rows; ++row) {
        const auto* front = copy.ptr<cv::Vec3b>(row);
        const auto* alpha = weight.ptr<std::uint8_t>(row);
        auto* out = canvas.ptr<cv::Vec3b>(row);
        for (int col = 0; col < canvas.cols; ++col) {
            const int a = alpha[col];
            for (int ch = 0; ch < 3; ++ch) {
                out[col][ch] = static_cast<std::uint8_t>((front[col][ch] * a + out[col][ch] * (255 - a) + 127) / 255);
            }
        }
    }
}

} // namespace

HandPlacement HandMotion::placementAt(int frame) const {
    const auto next = std::ranges::find_if(keys, [&](const HandKey& key) { return key.frame >= frame; });
    if (next == keys.end()) return keys.back().placement;
    if (next == keys.begin() || next->frame == frame) return next->placement;
    const HandKey& from = *(next - 1);
    const double t = static_cast<double>(frame - from.frame) / static_cast<double>(next->frame - from.frame);
    const auto mix = [t](double a, double b) { return a + (b - a) * t; };
    const HandPlacement& a = from.placement;
    const HandPlacement& b = next->placement;
    return {mix(a.x, b.x), mix(a.y, b.y), mix(a.degrees, b.degrees), mix(a.scale, b.scale)};
}

HandVideo::HandVideo(const cv::Mat& handPhoto, double copyScale, const cv::Mat& backgroundPhoto)
    : plain_(kHeight, kWidth, CV_8UC3, kPlainBackground) {
    cv::resize(handPhoto, hand_, cv::Size(), copyScale, copyScale, cv::INTER_AREA);
    mask_ = cv::Mat(hand_.size(), CV_8UC1, cv::Scalar(255));
    cv::resize(backgroundPhoto, photo_, cv::Size(kWidth, kHeight), 0.0, 0.0, cv::INTER_LINEAR);
}

HandVideoFrame HandVideo::frame(Backdrop backdrop, const HandPlacement& placement) const {
    const cv::Mat transform = placementTransform(hand_.size(), placement);
    const cv::Size canvas(kWidth, kHeight);
    cv::Mat copy;
    cv::Mat weight;
    // The copy's border pixels are repeated outwards so that its edge blends
    // with the background rather than with black.
    cv::warpAffine(hand_, copy, transform, canvas, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::warpAffine(mask_, weight, transform, canvas, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));

    HandVideoFrame out;
    out.bgr = (backdrop == Backdrop::Plain ? plain_ : photo_).clone();
    composite(copy, weight, out.bgr);
    if (wholeOnCanvas(transform, hand_.size())) {
        out.hand = HandVisibility::Whole;
    } else {
        out.hand = cv::countNonZero(weight) > 0 ? HandVisibility::Partial : HandVisibility::None;
    }
    return out;
}

} // namespace vantor::testing
