#pragma once

// Videos of a moving hand made from one photo: a copy of the hand (with the
// table it lies on) is moved, turned and scaled over a background frame by
// frame, so that tracking can be tried in motion without committing frames.
// Deterministic: the same motion always gives the same pixels.
#include <opencv2/core.hpp>

#include <string>
#include <vector>

namespace vantor::testing {

// Where the hand's copy sits in one frame.
struct HandPlacement {
    double x = 0.0;       // centre of the copy, canvas pixels from the left
    double y = 0.0;       // and from the top
    double degrees = 0.0; // turn about that centre, counter-clockwise on screen
    double scale = 1.0;   // of the copy's own size
};

// The placement reached at `frame`; frames between keys move linearly.
struct HandKey {
    int frame = 0;
    HandPlacement placement;
};

enum class Backdrop { Plain, Photo };

// A named motion: keys in increasing frame order, the first at frame 0; the
// last one's frame is the video's last.
struct HandMotion {
    std::string name;
    Backdrop backdrop = Backdrop::Plain;
    std::vector<HandKey> keys;

    int frameCount() const { return keys.empty() ? 0 : keys.back().frame + 1; }
    HandPlacement placementAt(int frame) const;
};

// How much of the hand's copy a frame shows. Whole and None are exact: None
// frames are the bare background.
enum class HandVisibility { Whole, Partial, None };

struct HandVideoFrame {
    cv::Mat bgr; // 8-bit BGR, canvas size
    HandVisibility hand = HandVisibility::None;
};

class HandVideo {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    // `handPhoto` is copied at `copyScale` of its size (the scale 1 of a
    // placement); `backgroundPhoto` is stretched to the canvas for
    // Backdrop::Photo. Both 8-bit BGR.
    HandVideo(const cv::Mat& handPhoto, double copyScale, const cv::Mat& backgroundPhoto);

    HandVideoFrame frame(Backdrop backdrop, const HandPlacement& placement) const;

private:
    cv::Mat hand_;  // the copy
    cv::Mat mask_;  // 255 over the whole copy
    cv::Mat plain_; // canvas-sized backgrounds
    cv::Mat photo_;
};

} // namespace vantor::testing
