#include "platform/camera/FrameConversion.h"
#include "platform/camera/NewestFrame.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <chrono>
#include <string>
#include <vector>

namespace vantor::platform {
namespace {

using namespace std::chrono_literals;

// A camera whose driver queue holds `waiting` pictures; a grab past them
// waits one frame period on a pretend clock.
struct PretendCamera {
    int waiting = 0;
    int grabs = 0;
    bool fails = false;
    std::chrono::steady_clock::time_point clock{};

    bool grab() {
        ++grabs;
        if (fails) return false;
        if (waiting > 0) {
            --waiting;
            clock += 50us;
        } else {
            clock += 33ms;
        }
        return true;
    }
};

bool grabNewestFrom(PretendCamera& camera) {
    return grabNewest([&] { return camera.grab(); }, [&] { return camera.clock; });
}

struct BacklogCase {
    std::string name;
    int waiting;
    int grabs;
};

class GrabNewest : public ::testing::TestWithParam<BacklogCase> {};

TEST_P(GrabNewest, SkipsPicturesThatWereAlreadyWaiting) {
    PretendCamera camera{.waiting = GetParam().waiting};
    EXPECT_TRUE(grabNewestFrom(camera));
    EXPECT_EQ(camera.grabs, GetParam().grabs);
}

INSTANTIATE_TEST_SUITE_P(Backlogs, GrabNewest,
                         ::testing::Values(BacklogCase{"noneWaiting", 0, 1}, BacklogCase{"oneWaiting", 1, 2},
                                           BacklogCase{"fullDriverQueue", 4, 5},
                                           // A camera that never makes us wait: give up
                                           // draining after the driver's queue length.
                                           BacklogCase{"endlessBacklog", 1000, 5}),
                         [](const auto& row) { return row.param.name; });

TEST(GrabNewestFailure, AFailedGrabEndsTheRead) {
    PretendCamera camera{.fails = true};
    EXPECT_FALSE(grabNewestFrom(camera));
    EXPECT_EQ(camera.grabs, 1);
}

std::vector<std::uint8_t> pixelsOf(const camera::VideoFrame& frame) { return *frame.bgr; }

TEST(FrameConversion, CopiesBgrPicturesRowByRowEvenWhenCutOutOfALargerOne) {
    cv::Mat large(4, 5, CV_8UC3);
    for (int row = 0; row < large.rows; ++row) {
        for (int col = 0; col < large.cols; ++col) {
            large.at<cv::Vec3b>(row, col) = cv::Vec3b(static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(col), 7);
        }
    }
    const cv::Mat cut = large(cv::Rect(1, 2, 3, 2)); // columns 1..3 of rows 2..3
    ASSERT_FALSE(cut.isContinuous());
    const auto frame = toVideoFrame(cut);
    ASSERT_TRUE(frame && frame->isValid());
    EXPECT_EQ(frame->width, 3);
    EXPECT_EQ(frame->height, 2);
    EXPECT_EQ(pixelsOf(*frame), (std::vector<std::uint8_t>{2, 1, 7, 2, 2, 7, 2, 3, 7, 3, 1, 7, 3, 2, 7, 3, 3, 7}));
}

TEST(FrameConversion, WidensGrayAndDropsAlpha) {
    const cv::Mat gray(1, 2, CV_8UC1, cv::Scalar(9));
    const cv::Mat bgra(1, 1, CV_8UC4, cv::Scalar(1, 2, 3, 4));
    EXPECT_EQ(pixelsOf(*toVideoFrame(gray)), (std::vector<std::uint8_t>{9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(pixelsOf(*toVideoFrame(bgra)), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(FrameConversion, RefusesEmptyPicturesAndOtherPixelTypes) {
    EXPECT_FALSE(toVideoFrame(cv::Mat()));
    EXPECT_FALSE(toVideoFrame(cv::Mat(2, 2, CV_16UC3, cv::Scalar(0))));
    EXPECT_FALSE(toVideoFrame(cv::Mat(2, 2, CV_32FC1, cv::Scalar(0))));
}

} // namespace
} // namespace vantor::platform
