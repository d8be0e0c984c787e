#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace vantor::handtracking {

struct Point2 {
    float x = 0.0f;
    float y = 0.0f;
};

// Centre of one SSD anchor, in 0..1 of the detector's input square. The palm
// model's anchors all have unit size, so the centre is all there is.
using Anchor = Point2;

// The 2016 anchors of MediaPipe's palm detector for a 192 x 192 input: four
// layers with strides 8, 16, 16, 16; layers of equal stride share one grid,
// two anchors per layer and cell (aspect 1 and the interpolated scale).
std::vector<Anchor> palmAnchors();

inline constexpr std::size_t kPalmKeypoints = 7;
inline constexpr std::size_t kPalmValuesPerAnchor = 4 + 2 * kPalmKeypoints;

// A palm found by the detector, in 0..1 of the picture it saw (x right,
// y down). Keypoint 0 is the wrist centre, 2 the middle finger's knuckle.
struct PalmDetection {
    float xMin = 0.0f;
    float yMin = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    std::array<Point2, kPalmKeypoints> keypoints{};
    float score = 0.0f;
};

// Turns the detector's raw outputs into palms with a score of at least
// `minScore`: 18 regressors per anchor in input pixels relative to the anchor
// centre, and one logit per anchor (clipped to +-100, then a sigmoid).
// Sizes that do not fit the anchors give no palms.
std::vector<PalmDetection> decodePalms(std::span<const float> regressors, std::span<const float> logits,
                                       std::span<const Anchor> anchors, float inputSize, float minScore);

// Weighted non-maximum suppression: palms overlapping the best remaining one
// by more than `iouThreshold` are merged into it, box and keypoints averaged
// with the scores as weights; the merged palm keeps the best score. Result
// sorted by score, best first.
std::vector<PalmDetection> weightedNonMaxSuppression(std::vector<PalmDetection> palms, float iouThreshold);

float intersectionOverUnion(const PalmDetection& a, const PalmDetection& b);

} // namespace vantor::handtracking
