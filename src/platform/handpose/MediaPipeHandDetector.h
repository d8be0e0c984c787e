#pragma once

#include "camera/CameraManager.h"
#include "camera/HandPoseDetector.h"
#include "HandPipeline.h"

#include <memory>
#include <optional>
#include <string>

namespace vantor::handpose {

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
    bool isTracking() const { return tracked_.has_value(); }
    void forgetHand() { tracked_.reset(); }

private:
    std::unique_ptr<HandPipeline> pipeline_;       // camera worker thread
    std::optional<RotatedRect> tracked_;           // camera worker thread: next frame's region
    std::optional<HandResult> last_;               // camera worker thread
};

// The observation the camera logic reads: the five joints in 0..1 with the
// origin at the lower left, each with the hand-presence score as confidence.
camera::HandObservation toObservation(const HandResult& hand);

// The models directory beside the running program: <bin>/../share/vantor2/models.
std::string defaultModelsDirectory();

} // namespace vantor::handpose

namespace vantor::platform {

// The program's hand-pose detector (lite models, found beside the
// executable); nullptr with `error` set when hand tracking is unavailable.
std::unique_ptr<camera::HandPoseDetector> makeMediaPipeHandDetector(std::string& error);

// The program's camera detector: the same, but its models are read only
// when the camera delivers its first picture. Missing model files are found
// now (nullptr, `error` set); a file that turns out unreadable or corrupt
// then prints `error`'s line on standard error and no hand is ever found.
std::unique_ptr<camera::HandPoseDetector> makeDeferredMediaPipeHandDetector(std::string& error);

// The program's camera manager over `session`, tracking hands with the
// deferred detector above. Without the model files hand tracking is off:
// one line on standard error, and a detector that finds no hand, which the
// manager reports to the camera panel; the picture and the panel's sliders
// still work.
std::unique_ptr<camera::CameraManager> makeHandTrackingCameraManager(std::unique_ptr<camera::CaptureSession> session,
                                                                     MainQueue& mainQueue, Console& console);

} // namespace vantor::platform
