#pragma once

#include "HandRegion.h"
#include "PalmDecoding.h"
#include "camera/VideoFrame.h"
#include "platform/handtracking/loader/HandModelFiles.h"
#include "platform/handtracking/network/XnnNetwork.h"

#include <opencv2/core.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantor::handtracking {

// What the landmark model saw in one region. Coordinates in 0..1 of the
// picture, x right, y down.
struct HandResult {
    bool found = false;       // presence reached the threshold
    float presence = 0.0f;    // hand-presence probability
    float handedness = 0.0f;  // probability of a right hand in a mirrored picture
    HandLandmarks landmarks{};
    RotatedRect region{};     // the region the landmarks were read in
};

// The two models and the steps between them. Called from one thread at a
// time; inference may also use the pipeline's own worker thread.
class HandPipeline {
public:
    static std::unique_ptr<HandPipeline> create(const std::string& modelsDirectory, ModelVariant variant,
                                                std::string& error, std::size_t threads = defaultThreads());

    // Two threads where the machine has cores to spare, else one. Inference
    // meets at a barrier after every layer: when the second thread has to
    // wait for a core, each barrier costs a scheduler time slice and a frame
    // takes a hundred times longer, so small machines run on the calling
    // thread alone.
    static std::size_t defaultThreads();

    // Palms in a BGR picture, best first; nullopt when the run failed.
    std::optional<std::vector<PalmDetection>> detectPalms(const cv::Mat& bgr);
    // The landmark model on one region; nullopt when the run failed.
    std::optional<HandResult> landmarksIn(const cv::Mat& bgr, const RotatedRect& region);
    // Detection mode: palm detection, then landmarks in the best palm's
    // region. found == false when there is no hand.
    std::optional<HandResult> detectHand(const cv::Mat& bgr);

    XnnNetwork& palmNetwork() { return *palm_; }
    XnnNetwork& landmarkNetwork() { return *landmark_; }

private:
    HandPipeline() = default;

    std::unique_ptr<ThreadPool> pool_;
    std::unique_ptr<XnnNetwork> palm_;
    std::unique_ptr<XnnNetwork> landmark_;
    std::vector<Anchor> anchors_;
    std::size_t palmRegressors_ = 0; // output index of the box regressors
    std::size_t palmLogits_ = 1;     // output index of the scores
};

// A region worth reading: finite, inside a sane range, not degenerate.
bool isUsableRegion(const RotatedRect& region);

// A valid frame's pixels as a BGR picture for the pipeline, not copied (the
// pipeline only reads them).
cv::Mat bgrPicture(const camera::VideoFrame& frame);

} // namespace vantor::handtracking
