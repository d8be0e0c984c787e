// hand_camera_writer: a webcam for the program, made of a v4l2loopback
// device and one photo of a hand. It writes 640x480 YUYV pictures, as most
// webcams send (encoded as the platform tests' in-memory camera does), about
// 12 a second, all of one stage until the test driver names the next. The
// driver waits on what this leaves behind, never on time.
//
// Usage: hand_camera_writer HAND STAGES DEVICE STAGE_FILE COUNT_FILE
// HAND    the photo (tests/data/handpose/handsrc.png: a hand entering from the left)
// STAGES  comma-separated: RISE/TURN puts the hand RISE pixels above its lowest
//         place, turned TURN degrees anticlockwise; "-" is the empty scene
// STAGE_FILE  the stage's index (from 0) the driver wants now; absent: 0
// COUNT_FILE  "FRAMES STAGE", replaced after every picture written

#include "FakeV4l2Device.h"
#include "platform/image/ImageFile.h"

#include <linux/videodev2.h>
#include <opencv2/imgproc.hpp>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// Shrunk, the hand leaves room above it to rise and around it to turn.
constexpr double kHandScale = 0.6;
// Its lowest place: the photo's left edge on the picture's, a little above the bottom.
constexpr int kLowestTop = kHeight - 12 - static_cast<int>(kHeight * kHandScale);
constexpr auto kFramePeriod = std::chrono::milliseconds(83);

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "hand_camera_writer: %s\n", why.c_str());
    std::exit(1);
}

// The stage's picture: the plain scene (the colour of the photo's own
// background, taken from its upper right corner), and for "RISE/TURN" the
// hand in it.
cv::Mat picture(const cv::Mat& photo, const std::string& stage) {
    cv::Mat scene(kHeight, kWidth, CV_8UC3, cv::mean(photo(cv::Rect(photo.cols - 32, 0, 32, 32))));
    int rise = 0;
    double turn = 0;
    if (stage == "-") return scene;
    if (std::sscanf(stage.c_str(), "%d/%lf", &rise, &turn) != 2) fail("a stage is RISE/TURN or -, not " + stage);
    cv::Mat hand;
    cv::resize(photo, hand, cv::Size(), kHandScale, kHandScale, cv::INTER_AREA);
    const cv::Point2f centre(static_cast<float>(hand.cols) / 2, static_cast<float>(hand.rows) / 2);
    // Turned about its centre, then moved to its place.
    cv::Mat placing = cv::getRotationMatrix2D(centre, turn, 1.0);
    placing.at<double>(1, 2) += kLowestTop - rise;
    cv::warpAffine(hand, scene, placing, scene.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
    return scene;
}

int openLoopback(const std::string& device) {
    const int fd = open(device.c_str(), O_RDWR);
    if (fd < 0) fail("cannot open " + device + ": " + std::strerror(errno));
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    format.fmt.pix.width = kWidth;
    format.fmt.pix.height = kHeight;
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    format.fmt.pix.bytesperline = kWidth * 2;
    format.fmt.pix.sizeimage = kWidth * kHeight * 2;
    format.fmt.pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
    if (ioctl(fd, VIDIOC_S_FMT, &format) != 0 || format.fmt.pix.pixelformat != V4L2_PIX_FMT_YUYV ||
        format.fmt.pix.width != kWidth || format.fmt.pix.height != kHeight) {
        fail(device + " does not take 640x480 YUYV");
    }
    return fd;
}

// The stage the driver asks for; the current one while the file is absent
// or being replaced.
std::size_t wantedStage(const std::string& path, std::size_t current, std::size_t count) {
    std::ifstream file(path);
    std::size_t stage = 0;
    if (!(file >> stage)) return current;
    if (stage >= count) fail("stage " + std::to_string(stage) + " asked for; there are " + std::to_string(count));
    return stage;
}

// Replaced whole, so that a reader never sees half a line.
void tellCount(const std::string& path, unsigned long frames, std::size_t stage) {
    const std::string partial = path + ".partial";
    {
        std::ofstream file(partial);
        file << frames << ' ' << stage << '\n';
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) fail("cannot replace " + path);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() != 5) fail("usage: hand_camera_writer HAND STAGES DEVICE STAGE_FILE COUNT_FILE");
    const auto photo = vantor::platform::readImageFile(args[0]);
    if (!photo) fail("cannot read " + args[0]);
    const cv::Mat photoBgr(photo->height, photo->width, CV_8UC3, const_cast<std::uint8_t*>(photo->bgr->data()));
    std::vector<std::vector<std::uint8_t>> frames;
    std::istringstream stages(args[1]);
    for (std::string stage; std::getline(stages, stage, ',');) {
        const cv::Mat shown = picture(photoBgr, stage);
        frames.push_back(vantor::testing::FakeV4l2Device::yuyvOf(
            {kWidth, kHeight, std::make_shared<const std::vector<std::uint8_t>>(shown.datastart, shown.dataend)}));
    }
    const int fd = openLoopback(args[2]);
    std::size_t stage = 0;
    auto next = std::chrono::steady_clock::now();
    for (unsigned long written = 1;; ++written) {
        stage = wantedStage(args[3], stage, frames.size());
        const auto& frame = frames[stage];
        if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            fail(std::string("write: ") + std::strerror(errno));
        }
        tellCount(args[4], written, stage);
        next += kFramePeriod;
        std::this_thread::sleep_until(next);
    }
}
