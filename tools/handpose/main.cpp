// vantor2-handpose [--full] [--video] IMAGE...
// Looks for one hand in each picture on its own (palm detection, then the
// landmark model) and prints one JSON object per picture on standard output.
// Coordinates are in 0..1 with the origin at the lower left, as the program's
// camera logic reads them.
//
// With --video the pictures are consecutive frames of one video, analysed as
// the program analyses its camera's frames: the hand found in one frame gives
// the region read in the next, and palm detection runs only when there is no
// hand to follow. Each object then also says "tracked": true when the hand
// was read in the region the frame before gave, false when palm detection
// ran, which includes every frame without a hand (found false). A frame that
// cannot be read is skipped, like a frame the camera drops, and the exit
// status is 1 as without --video.
#include "platform/handtracking/pipeline/MediaPipeHandDetector.h"
#include "platform/image/ImageFile.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using vantor::handtracking::HandLandmark;
using vantor::handtracking::HandResult;
using vantor::handtracking::Point2;

double rounded(double value) { return std::round(value * 1e5) / 1e5; }

// A point of the picture (y down) in the output's convention (y up).
nlohmann::ordered_json point(const Point2& p) { return {rounded(p.x), rounded(1.0 - static_cast<double>(p.y))}; }

nlohmann::ordered_json describe(const std::string& image, const HandResult& hand) {
    nlohmann::ordered_json out{{"image", image}, {"found", hand.found}};
    if (!hand.found) return out;
    out["score"] = rounded(hand.presence);
    nlohmann::ordered_json landmarks = nlohmann::ordered_json::array();
    for (const Point2& p : hand.landmarks) landmarks.push_back(point(p));
    out["landmarks"] = std::move(landmarks);
    const auto at = [&](HandLandmark which) { return point(vantor::handtracking::landmark(hand.landmarks, which)); };
    out["joints"] = {{"wrist", at(HandLandmark::Wrist)},         {"thumbTip", at(HandLandmark::ThumbTip)},
                     {"indexTip", at(HandLandmark::IndexTip)},   {"middleTip", at(HandLandmark::MiddleTip)},
                     {"littleTip", at(HandLandmark::LittleTip)}};
    return out;
}

// Reads each picture in turn and prints what `analyse` makes of it: the JSON
// object, or nothing when the analysis failed. A picture that cannot be read
// or analysed is reported and skipped; the exit status then is 1.
template <typename Analyse>
int describeEach(const std::vector<std::string>& images, Analyse analyse) {
    int status = 0;
    for (const std::string& image : images) {
        std::string whyNot;
        const auto picture = vantor::platform::readImageFile(image, &whyNot);
        if (!picture) {
            std::cerr << "vantor2-handpose: cannot read image " << image << ": " << whyNot << "\n";
            status = 1;
            continue;
        }
        const std::optional<nlohmann::ordered_json> out = analyse(image, *picture);
        if (!out) {
            std::cerr << "vantor2-handpose: analysis failed for " << image << "\n";
            status = 1;
            continue;
        }
        std::cout << out->dump() << std::endl;
    }
    return status;
}

// Frames in order through the camera's detector, which carries the hand's
// region from one frame to the next.
int describeVideo(vantor::handtracking::MediaPipeHandDetector& detector, const std::vector<std::string>& frames) {
    return describeEach(frames, [&](const std::string& image, const vantor::camera::VideoFrame& picture)
                                    -> std::optional<nlohmann::ordered_json> {
        const auto hands = detector.detect(picture);
        const auto& hand = detector.lastResult();
        if (!hands || !hand) return std::nullopt;
        auto out = describe(image, *hand);
        out["tracked"] = detector.lastWasTracked();
        return out;
    });
}

// Each picture on its own: palm detection, then landmarks.
int describePictures(vantor::handtracking::HandPipeline& pipeline, const std::vector<std::string>& images) {
    return describeEach(images, [&](const std::string& image, const vantor::camera::VideoFrame& picture)
                                    -> std::optional<nlohmann::ordered_json> {
        const auto hand = pipeline.detectHand(vantor::handtracking::bgrPicture(picture));
        if (!hand) return std::nullopt;
        return describe(image, *hand);
    });
}

} // namespace

int main(int argc, char** argv) {
    auto variant = vantor::handtracking::ModelVariant::Lite;
    bool video = false;
    std::vector<std::string> images;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--full") {
            variant = vantor::handtracking::ModelVariant::Full;
        } else if (arg == "--video") {
            video = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "vantor2-handpose: unknown option " << arg << "\n";
            return 2;
        } else {
            images.push_back(arg);
        }
    }
    if (images.empty()) {
        std::cerr << "usage: vantor2-handpose [--full] [--video] IMAGE...\n";
        return 2;
    }

    const std::string models = vantor::handtracking::defaultModelsDirectory();
    std::string error;
    if (video) {
        auto detector = vantor::handtracking::MediaPipeHandDetector::create(models, variant, error);
        if (!detector) {
            std::cerr << "vantor2-handpose: " << error << "\n";
            return 2;
        }
        return describeVideo(*detector, images);
    }
    auto pipeline = vantor::handtracking::HandPipeline::create(models, variant, error);
    if (!pipeline) {
        std::cerr << "vantor2-handpose: " << error << "\n";
        return 2;
    }
    return describePictures(*pipeline, images);
}
