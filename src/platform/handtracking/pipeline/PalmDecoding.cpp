#include "PalmDecoding.h"

#include <algorithm>
#include <cmath>

namespace vantor::handtracking {

namespace {

// The palm detector's anchor layout (MediaPipe's palm detection graph).
constexpr int kInputSize = 192;
constexpr std::array<int, 4> kStrides{8, 16, 16, 16};
constexpr float kAnchorOffset = 0.5f;
// Two anchors per layer: aspect ratio 1.0 and the interpolated scale.
constexpr int kAnchorsPerLayer = 2;
constexpr float kScoreClip = 100.0f;

} // namespace

std::vector<Anchor> palmAnchors() {
    std::vector<Anchor> anchors;
    std::size_t layer = 0;
    while (layer < kStrides.size()) {
        // Consecutive layers with the same stride share one feature map.
        std::size_t last = layer;
        while (last + 1 < kStrides.size() && kStrides[last + 1] == kStrides[layer]) ++last;
        const int perCell = kAnchorsPerLayer * static_cast<int>(last - layer + 1);
        const int side = (kInputSize + kStrides[layer] - 1) / kStrides[layer];
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const Anchor centre{(static_cast<float>(x) + kAnchorOffset) / static_cast<float>(side),
                                    (static_cast<float>(y) + kAnchorOffset) / static_cast<float>(side)};
                for (int k = 0; k < perCell; ++k) anchors.push_back(centre);
            }
        }
        layer = last + 1;
    }
    return anchors;
}

std::vector<PalmDetection> decodePalms(std::span<const float> regressors, std::span<const float> logits,
                                       std::span<const Anchor> anchors, float inputSize, float minScore) {
    std::vector<PalmDetection> palms;
    if (logits.size() != anchors.size() || regressors.size() != anchors.size() * kPalmValuesPerAnchor)
        return palms;
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const float logit = std::clamp(logits[i], -kScoreClip, kScoreClip);
        const float score = 1.0f / (1.0f + std::exp(-logit));
        if (!(score >= minScore)) continue;
        const float* raw = regressors.data() + i * kPalmValuesPerAnchor;
        const Anchor& anchor = anchors[i];
        const float xCenter = raw[0] / inputSize + anchor.x;
        const float yCenter = raw[1] / inputSize + anchor.y;
        const float width = raw[2] / inputSize;
        const float height = raw[3] / inputSize;
        PalmDetection palm;
        palm.xMin = xCenter - width / 2.0f;
        palm.yMin = yCenter - height / 2.0f;
        palm.width = width;
        palm.height = height;
        for (std::size_t k = 0; k < kPalmKeypoints; ++k) {
            palm.keypoints[k] = {raw[4 + 2 * k] / inputSize + anchor.x, raw[5 + 2 * k] / inputSize + anchor.y};
        }
        palm.score = score;
        palms.push_back(palm);
    }
    return palms;
}

float intersectionOverUnion(const PalmDetection& a, const PalmDetection& b) {
    const float left = std::max(a.xMin, b.xMin);
    const float top = std::max(a.yMin, b.yMin);
    const float right = std::min(a.xMin + a.width, b.xMin + b.width);
    const float bottom = std::min(a.yMin + a.height, b.yMin + b.height);
    if (right <= left || bottom <= top) return 0.0f;
    const float intersection = (right - left) * (bottom - top);
    const float unionArea = a.width * a.height + b.width * b.height - intersection;
    return unionArea > 0.0f ? intersection / unionArea : 0.0f;
}

std::vector<PalmDetection> weightedNonMaxSuppression(std::vector<PalmDetection> palms, float iouThreshold) {
    std::stable_sort(palms.begin(), palms.end(),
                     [](const PalmDetection& a, const PalmDetection& b) { return a.score > b.score; });
    std::vector<PalmDetection> kept;
    while (!palms.empty()) {
        const PalmDetection best = palms.front();
        std::vector<PalmDetection> rest;
        PalmDetection merged{};
        float total = 0.0f;
        for (const PalmDetection& palm : palms) {
            if (intersectionOverUnion(best, palm) > iouThreshold) {
                total += palm.score;
                merged.xMin += palm.xMin * palm.score;
                merged.yMin += palm.yMin * palm.score;
                merged.width += (palm.xMin + palm.width) * palm.score;   // right edge for now
                merged.height += (palm.yMin + palm.height) * palm.score; // bottom edge for now
                for (std::size_t k = 0; k < kPalmKeypoints; ++k) {
                    merged.keypoints[k].x += palm.keypoints[k].x * palm.score;
                    merged.keypoints[k].y += palm.keypoints[k].y * palm.score;
                }
            } else {
                rest.push_back(palm);
            }
        }
        if (total > 0.0f) {
            merged.xMin /= total;
            merged.yMin /= total;
            merged.width = merged.width / total - merged.xMin;
            merged.height = merged.height / total - merged.yMin;
            for (Point2& p : merged.keypoints) {
                p.x /= total;
                p.y /= total;
            }
            merged.score = best.score;
            kept.push_back(merged);
        } else {
            // A degenerate box overlaps nothing, not even itself; keep it as is.
            kept.push_back(best);
            rest.erase(rest.begin());
        }
        palms = std::move(rest);
    }
    return kept;
}

} // namespace vantor::handtracking
