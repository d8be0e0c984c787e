#pragma once

#include "camera/HandPoseDetector.h"
#include "HandPipeline.h"

#include <memory>
#include <optional>
#include <string>

namespace vantor::handtracking {

// The camera's hand-pose detector on MediaPipe's models. Between frames it
// keeps the region the last landmarks give and reads only that region; palm
// detection runs when there is no hand yet or the hand was lost.
class MediaPipeHandDetector final : public camera::HandPoseDetector {
public:
    explicit MediaPipeHandDetector(std::unique_ptr<HandPipeline> pipeline);

    // On failure (a model missing or corrupt) returns nullptr and sets
    // `error` to one line naming the file.
    static std::unique_ptr<MediaPipeHandDetector> create(const std::string& modelsDirectory, ModelVariant variant,
                                                         std::string& error);

    std::optional<std::vector<camera::HandObservation>> detect(const camera::VideoFrame& frame) override;

    // The full result of the last detect() (landmarks, region), for tools and benchmarks.
    const std::optional<HandResult>& lastResult() const { return last_; }
    // Whether the last detect() read the hand in the region the frame before
    // gave, rather than running palm detection (which it does on the first
    // frame, after a lost hand and on every frame without one).
    bool lastWasTracked() const { return lastWasTracked_; }
    bool isTracking() const { return tracked_.has_value(); }
    void forgetHand() { tracked_.reset(); }

private:
    std::unique_ptr<HandPipeline> pipeline_;       // camera worker thread
    std::optional<RotatedRect> tracked_;           // camera worker thread: next frame's region
    std::optional<HandResult> last_;               // camera worker thread
    bool lastWasTracked_ = false;                  // camera worker thread
};

// The observation the camera logic reads: the five joints in 0..1 with the
// origin at the lower left, each with the hand-presence score as confidence.
camera::HandObservation toObservation(const HandResult& hand);

// The program's hand-pose detector (lite models, found beside the
// executable); nullptr with `error` set when hand tracking is unavailable.
std::unique_ptr<camera::HandPoseDetector> makeMediaPipeHandDetector(std::string& error);

} // namespace vantor::handtracking
