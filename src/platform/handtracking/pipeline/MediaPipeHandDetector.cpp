#include "MediaPipeHandDetector.h"

namespace vantor::handtracking {

MediaPipeHandDetector::MediaPipeHandDetector(std::unique_ptr<HandPipeline> pipeline)
    : pipeline_(std::move(pipeline)) {}

std::unique_ptr<MediaPipeHandDetector> MediaPipeHandDetector::create(const std::string& modelsDirectory,
                                                                     ModelVariant variant, std::string& error) {
    auto pipeline = HandPipeline::create(modelsDirectory, variant, error);
    if (!pipeline) return nullptr;
    return std::make_unique<MediaPipeHandDetector>(std::move(pipeline));
}

std::optional<std::vector<camera::HandObservation>> MediaPipeHandDetector::detect(const camera::VideoFrame& frame) {
    last_.reset();
    lastWasTracked_ = false;
    if (!frame.isValid()) return std::nullopt;
    const cv::Mat bgr = bgrPicture(frame);
    const ImageSize size{frame.width, frame.height};

    std::optional<HandResult> result;
    if (tracked_) {
        result = pipeline_->landmarksIn(bgr, *tracked_);
        if (!result || !result->found) tracked_.reset();
        if (!result) return std::nullopt;
    }
    // Still set here only when the region followed from the last frame held the hand.
    lastWasTracked_ = tracked_.has_value();
    if (!tracked_) {
        result = pipeline_->detectHand(bgr);
        if (!result) return std::nullopt;
    }
    last_ = result;
    if (!result->found) return std::vector<camera::HandObservation>{};
    const RotatedRect next = handRegionFromLandmarks(result->landmarks, size);
    if (isUsableRegion(next)) {
        tracked_ = next;
    } else {
        tracked_.reset();
    }
    return std::vector<camera::HandObservation>{toObservation(*result)};
}

camera::HandObservation toObservation(const HandResult& hand) {
    using camera::HandJoint;
    const std::pair<HandJoint, HandLandmark> joints[] = {
        {HandJoint::Wrist, HandLandmark::Wrist},         {HandJoint::ThumbTip, HandLandmark::ThumbTip},
        {HandJoint::IndexTip, HandLandmark::IndexTip},   {HandJoint::MiddleTip, HandLandmark::MiddleTip},
        {HandJoint::LittleTip, HandLandmark::LittleTip},
    };
    camera::HandObservation observation;
    for (const auto& [joint, mark] : joints) {
        const Point2& p = landmark(hand.landmarks, mark);
        observation.joints[static_cast<std::size_t>(joint)] =
            camera::JointPoint{static_cast<double>(p.x), 1.0 - static_cast<double>(p.y), hand.presence};
    }
    return observation;
}

std::unique_ptr<camera::HandPoseDetector> makeMediaPipeHandDetector(std::string& error) {
    std::string detail;
    auto detector = MediaPipeHandDetector::create(defaultModelsDirectory(), ModelVariant::Lite, detail);
    if (!detector) error = "Hand tracking unavailable: " + detail;
    return detector;
}

} // namespace vantor::handtracking
