// The pictures the models see: letterboxed for the palm model, a turned
// region for the landmark model.
#include "platform/handpose/ImageTensor.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <numbers>
#include <vector>

namespace vantor::handpose {
namespace {

// Red channel of a tensor pixel (RGB, 0..1).
float red(const std::vector<float>& tensor, int size, int x, int y) {
    return tensor[(static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)) * 3];
}

TEST(LetterboxTest, WidePictureGetsBlackBandsAboveAndBelow) {
    const cv::Mat picture(2, 4, CV_8UC3, cv::Scalar(0, 0, 255)); // red in BGR
    std::vector<float> tensor(4 * 4 * 3, -1.0f);
    const Letterbox box = letterboxToTensor(picture, 4, tensor);
    EXPECT_FLOAT_EQ(box.padX, 0.0f);
    EXPECT_FLOAT_EQ(box.padY, 0.25f);
    EXPECT_FLOAT_EQ(red(tensor, 4, 1, 0), 0.0f);
    EXPECT_FLOAT_EQ(red(tensor, 4, 1, 1), 1.0f);
    EXPECT_FLOAT_EQ(red(tensor, 4, 1, 2), 1.0f);
    EXPECT_FLOAT_EQ(red(tensor, 4, 1, 3), 0.0f);
    EXPECT_FLOAT_EQ(tensor[2], 0.0f); // blue of a black pixel: channels are RGB
}

TEST(LetterboxTest, PointsComeBackToThePicture) {
    const Letterbox box{0.0f, 0.125f};
    const Point2 p = removeLetterbox({0.5f, 0.125f}, box);
    EXPECT_FLOAT_EQ(p.x, 0.5f);
    EXPECT_FLOAT_EQ(p.y, 0.0f);
}

TEST(RegionTensorTest, QuarterTurnPutsThePicturesRightSideOnTop) {
    // Left half white, right half red.
    cv::Mat picture(64, 64, CV_8UC3, cv::Scalar(255, 255, 255));
    picture(cv::Rect(32, 0, 32, 64)).setTo(cv::Scalar(0, 0, 255));
    std::vector<float> tensor(16 * 16 * 3);
    const RotatedRect region{0.5f, 0.5f, 1.0f, 1.0f, std::numbers::pi_v<float> / 2.0f};
    regionToTensor(picture, region, 16, tensor);
    // Red on top: red 1, green 0; white below: green 1.
    EXPECT_FLOAT_EQ(tensor[(2 * 16 + 8) * 3 + 1], 0.0f);
    EXPECT_FLOAT_EQ(tensor[(13 * 16 + 8) * 3 + 1], 1.0f);
}

TEST(RegionTensorTest, RegionOutsideThePictureRepeatsTheBorder) {
    const cv::Mat picture(8, 8, CV_8UC3, cv::Scalar(0, 0, 255));
    std::vector<float> tensor(8 * 8 * 3, -1.0f);
    regionToTensor(picture, {2.0f, 2.0f, 0.5f, 0.5f, 0.3f}, 8, tensor);
    EXPECT_FLOAT_EQ(red(tensor, 8, 4, 4), 1.0f);
}

} // namespace
} // namespace vantor::handpose
