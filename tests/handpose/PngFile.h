#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace vantor::testing {

// Writes an 8-bit BGR picture as a PNG file (the program reads pictures but
// never writes any, so only the tests need this); false when it could not.
bool writePng(const std::string& path, const cv::Mat& bgr);

} // namespace vantor::testing
