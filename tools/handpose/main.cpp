// vantor2-handpose [--full] IMAGE...
// Looks for one hand in each picture on its own (palm detection, then the
// landmark model) and prints one JSON object per picture on standard output.
// Coordinates are in 0..1 with the origin at the lower left, as the program's
// camera logic reads them.
#include "platform/handpose/MediaPipeHandDetector.h"
#include "platform/image/ImageFile.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

using vantor::handpose::HandLandmark;
using vantor::handpose::HandResult;
using vantor::handpose::Point2;

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
    const auto at = [&](HandLandmark which) { return point(vantor::handpose::landmark(hand.landmarks, which)); };
    out["joints"] = {{"wrist", at(HandLandmark::Wrist)},         {"thumbTip", at(HandLandmark::ThumbTip)},
                     {"indexTip", at(HandLandmark::IndexTip)},   {"middleTip", at(HandLandmark::MiddleTip)},
                     {"littleTip", at(HandLandmark::LittleTip)}};
    return out;
}

} // namespace

int main(int argc, char** argv) {
    auto variant = vantor::handpose::ModelVariant::Lite;
    std::vector<std::string> images;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--full") {
            variant = vantor::handpose::ModelVariant::Full;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "vantor2-handpose: unknown option " << arg << "\n";
            return 2;
        } else {
            images.push_back(arg);
        }
    }
    if (images.empty()) {
        std::cerr << "usage: vantor2-handpose [--full] IMAGE...\n";
        return 2;
    }

    std::string error;
    auto pipeline =
        vantor::handpose::HandPipeline::create(vantor::handpose::defaultModelsDirectory(), variant, error);
    if (!pipeline) {
        std::cerr << "vantor2-handpose: " << error << "\n";
        return 2;
    }

    int status = 0;
    for (const std::string& image : images) {
        const auto picture = vantor::platform::readImageFile(image);
        if (!picture) {
            std::cerr << "vantor2-handpose: cannot read image " << image << "\n";
            status = 1;
            continue;
        }
        const auto hand = pipeline->detectHand(vantor::handpose::bgrPicture(*picture));
        if (!hand) {
            std::cerr << "vantor2-handpose: analysis failed for " << image << "\n";
            status = 1;
            continue;
        }
        std::cout << describe(image, *hand).dump() << std::endl;
    }
    return status;
}
