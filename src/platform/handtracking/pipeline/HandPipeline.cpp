#include "HandPipeline.h"

#include "ImageTensor.h"

#include <opencv2/core.hpp>

#include <cmath>
#include <thread>

namespace vantor::handtracking {

namespace {

constexpr int kPalmInputSize = 192;
constexpr int kLandmarkInputSize = 224;
constexpr float kMinPalmScore = 0.5f;
constexpr float kPalmOverlap = 0.3f;
constexpr float kMinPresence = 0.5f;
// The interface, the camera capture and the MIDI output keep two cores busy
// at times; the second inference thread needs a core of its own beyond them.
constexpr unsigned kCoresForTwoThreads = 4;
constexpr std::size_t kLandmarkValues = 3 * kHandLandmarks; // x, y, z each

bool hasInput(const XnnNetwork& network, int size) {
    return network.inputShape() == std::vector<std::size_t>{1, static_cast<std::size_t>(size),
                                                            static_cast<std::size_t>(size), 3};
}

} // namespace

std::size_t HandPipeline::defaultThreads() {
    return std::thread::hardware_concurrency() >= kCoresForTwoThreads ? 2 : 1;
}

bool isUsableRegion(const RotatedRect& r) {
    const auto sane = [](float v) { return std::isfinite(v) && std::fabs(v) < 100.0f; };
    return sane(r.xCenter) && sane(r.yCenter) && sane(r.width) && sane(r.height) && sane(r.rotation) &&
           r.width > 1e-4f && r.height > 1e-4f;
}

std::unique_ptr<HandPipeline> HandPipeline::create(const std::string& modelsDirectory, ModelVariant variant,
                                                   std::string& error, std::size_t threads) {
    std::unique_ptr<HandPipeline> pipeline(new HandPipeline());
    // One thread runs on the caller alone, without a pool.
    if (threads > 1) pipeline->pool_ = std::make_unique<ThreadPool>(threads);
    const std::string palmPath = palmModelPath(modelsDirectory, variant);
    const std::string landmarkPath = landmarkModelPath(modelsDirectory, variant);
    pipeline->palm_ = XnnNetwork::fromFile(palmPath, pipeline->pool_.get(), error);
    if (!pipeline->palm_) return nullptr;
    pipeline->landmark_ = XnnNetwork::fromFile(landmarkPath, pipeline->pool_.get(), error);
    if (!pipeline->landmark_) return nullptr;

    pipeline->anchors_ = palmAnchors();
    const XnnNetwork& palm = *pipeline->palm_;
    const std::size_t anchors = pipeline->anchors_.size();
    bool palmOk = hasInput(palm, kPalmInputSize) && palm.outputCount() == 2;
    if (palmOk) {
        // The regressors and the scores, told apart by their sizes.
        const bool firstIsBoxes = palm.output(0).size() == anchors * kPalmValuesPerAnchor;
        pipeline->palmRegressors_ = firstIsBoxes ? 0 : 1;
        pipeline->palmLogits_ = firstIsBoxes ? 1 : 0;
        palmOk = palm.output(pipeline->palmRegressors_).size() == anchors * kPalmValuesPerAnchor &&
                 palm.output(pipeline->palmLogits_).size() == anchors;
    }
    if (!palmOk) {
        error = palmPath + ": not a palm detection model (unexpected input or outputs)";
        return nullptr;
    }
    const XnnNetwork& landmark = *pipeline->landmark_;
    if (!hasInput(landmark, kLandmarkInputSize) || landmark.outputCount() < 3 ||
        landmark.output(0).size() != kLandmarkValues || landmark.output(1).size() != 1 ||
        landmark.output(2).size() != 1) {
        error = landmarkPath + ": not a hand landmark model (unexpected input or outputs)";
        return nullptr;
    }
    return pipeline;
}

std::optional<std::vector<PalmDetection>> HandPipeline::detectPalms(const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return std::nullopt;
    Letterbox box;
    try {
        box = letterboxToTensor(bgr, kPalmInputSize, palm_->input());
    } catch (const cv::Exception&) {
        return std::nullopt;
    }
    if (!palm_->run()) return std::nullopt;
    auto palms = decodePalms(palm_->output(palmRegressors_), palm_->output(palmLogits_), anchors_,
                             static_cast<float>(kPalmInputSize), kMinPalmScore);
    palms = weightedNonMaxSuppression(std::move(palms), kPalmOverlap);
    // Back from the letterboxed square to the picture.
    const float sx = 1.0f - 2.0f * box.padX;
    const float sy = 1.0f - 2.0f * box.padY;
    for (PalmDetection& palm : palms) {
        const Point2 corner = removeLetterbox({palm.xMin, palm.yMin}, box);
        palm.xMin = corner.x;
        palm.yMin = corner.y;
        palm.width /= sx;
        palm.height /= sy;
        for (Point2& p : palm.keypoints) p = removeLetterbox(p, box);
    }
    return palms;
}

std::optional<HandResult> HandPipeline::landmarksIn(const cv::Mat& bgr, const RotatedRect& region) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return std::nullopt;
    HandResult result;
    result.region = region;
    if (!isUsableRegion(region)) return result; // nothing there to read
    try {
        regionToTensor(bgr, region, kLandmarkInputSize, landmark_->input());
    } catch (const cv::Exception&) {
        return std::nullopt;
    }
    if (!landmark_->run()) return std::nullopt;
    const auto values = landmark_->output(0);
    result.presence = landmark_->output(1)[0];
    result.handedness = landmark_->output(2)[0];
    result.found = result.presence >= kMinPresence;
    HandLandmarks inRegion{};
    const float size = static_cast<float>(kLandmarkInputSize);
    for (std::size_t k = 0; k < kHandLandmarks; ++k) inRegion[k] = {values[3 * k] / size, values[3 * k + 1] / size};
    result.landmarks = projectLandmarks(inRegion, region);
    return result;
}

cv::Mat bgrPicture(const camera::VideoFrame& frame) {
    // OpenCV wants a mutable pointer; the picture is only read.
    return cv::Mat(frame.height, frame.width, CV_8UC3, const_cast<std::uint8_t*>(frame.bgr->data()));
}

std::optional<HandResult> HandPipeline::detectHand(const cv::Mat& bgr) {
    const auto palms = detectPalms(bgr);
    if (!palms) return std::nullopt;
    if (palms->empty()) return HandResult{};
    const RotatedRect region = handRegionFromPalm(palms->front(), {bgr.cols, bgr.rows});
    return landmarksIn(bgr, region);
}

} // namespace vantor::handtracking
