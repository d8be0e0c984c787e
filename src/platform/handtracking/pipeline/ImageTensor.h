#pragma once

#include "HandRegion.h"

#include <opencv2/core.hpp>

#include <span>

namespace vantor::handtracking {

// Where the picture sits inside a letterboxed square: the empty border on
// each side, as a fraction of the square.
struct Letterbox {
    float padX = 0.0f;
    float padY = 0.0f;
};

// Fills `tensor` (size x size x 3, RGB, 0..1) with the whole BGR picture
// scaled to fit the square, aspect kept, the rest black.
Letterbox letterboxToTensor(const cv::Mat& bgr, int size, std::span<float> tensor);

// Fills `tensor` (size x size x 3, RGB, 0..1) with the rotated region of the
// BGR picture, so that the region's top edge becomes the tensor's top row;
// outside the picture the border pixels repeat.
void regionToTensor(const cv::Mat& bgr, const RotatedRect& region, int size, std::span<float> tensor);

// Maps a point found in the letterboxed square back to 0..1 of the picture.
Point2 removeLetterbox(Point2 p, const Letterbox& box);

} // namespace vantor::handtracking
