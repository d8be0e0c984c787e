#include "HandRegion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vantor::handtracking {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
// The hand points up in the landmark model's input.
constexpr float kTargetAngle = kPi / 2.0f;

// MediaPipe's hand-region constants: from a palm, and from landmarks.
constexpr float kPalmRegionScale = 2.6f;
constexpr float kPalmRegionShiftY = -0.5f;
constexpr float kLandmarkRegionScale = 2.0f;
constexpr float kLandmarkRegionShiftY = -0.1f;

// Palm keypoints that set the orientation: wrist centre to middle knuckle.
constexpr std::size_t kPalmWrist = 0;
constexpr std::size_t kPalmMiddleKnuckle = 2;

// The landmarks that bound the next region: the wrist, the thumb's first
// joints and the two lowest joints of each finger; the fingertips move too
// fast to be trusted for the next frame.
constexpr std::array<std::size_t, 12> kRegionLandmarks{0, 1, 2, 3, 5, 6, 9, 10, 13, 14, 17, 18};

float rotationFrom(Point2 from, Point2 to, ImageSize image) {
    const float x0 = from.x * static_cast<float>(image.width);
    const float y0 = from.y * static_cast<float>(image.height);
    const float x1 = to.x * static_cast<float>(image.width);
    const float y1 = to.y * static_cast<float>(image.height);
    return normalizeRadians(kTargetAngle - std::atan2(-(y1 - y0), x1 - x0));
}

} // namespace

float normalizeRadians(float angle) {
    return angle - 2.0f * kPi * std::floor((angle + kPi) / (2.0f * kPi));
}

RotatedRect transformRegion(const RotatedRect& rect, ImageSize image, float scale, float shiftX, float shiftY) {
    const float w = static_cast<float>(image.width);
    const float h = static_cast<float>(image.height);
    RotatedRect out = rect;
    const float c = std::cos(rect.rotation);
    const float s = std::sin(rect.rotation);
    out.xCenter += (w * rect.width * shiftX * c - h * rect.height * shiftY * s) / w;
    out.yCenter += (w * rect.width * shiftX * s + h * rect.height * shiftY * c) / h;
    const float longSide = std::max(rect.width * w, rect.height * h);
    out.width = longSide / w * scale;
    out.height = longSide / h * scale;
    return out;
}

RotatedRect handRegionFromPalm(const PalmDetection& palm, ImageSize image) {
    RotatedRect rect;
    rect.xCenter = palm.xMin + palm.width / 2.0f;
    rect.yCenter = palm.yMin + palm.height / 2.0f;
    rect.width = palm.width;
    rect.height = palm.height;
    rect.rotation = rotationFrom(palm.keypoints[kPalmWrist], palm.keypoints[kPalmMiddleKnuckle], image);
    return transformRegion(rect, image, kPalmRegionScale, 0.0f, kPalmRegionShiftY);
}

RotatedRect handRegionFromLandmarks(const HandLandmarks& landmarks, ImageSize image) {
    const float w = static_cast<float>(image.width);
    const float h = static_cast<float>(image.height);
    // Orientation: wrist towards the mean of the index and ring knuckles,
    // averaged with the middle knuckle.
    const Point2& index = landmark(landmarks, HandLandmark::IndexKnuckle);
    const Point2& middle = landmark(landmarks, HandLandmark::MiddleKnuckle);
    const Point2& ring = landmark(landmarks, HandLandmark::RingKnuckle);
    const Point2 knuckles{((index.x + ring.x) / 2.0f + middle.x) / 2.0f, ((index.y + ring.y) / 2.0f + middle.y) / 2.0f};
    const float rotation = rotationFrom(landmark(landmarks, HandLandmark::Wrist), knuckles, image);
    const float reverse = normalizeRadians(-rotation);

    float minX = 1e30f, minY = 1e30f, maxX = -1e30f, maxY = -1e30f;
    for (const std::size_t k : kRegionLandmarks) {
        minX = std::min(minX, landmarks[k].x);
        maxX = std::max(maxX, landmarks[k].x);
        minY = std::min(minY, landmarks[k].y);
        maxY = std::max(maxY, landmarks[k].y);
    }
    const float alignedX = (minX + maxX) / 2.0f;
    const float alignedY = (minY + maxY) / 2.0f;

    // Bounding box in the hand's own frame, in pixels around the aligned centre.
    float pMinX = 1e30f, pMinY = 1e30f, pMaxX = -1e30f, pMaxY = -1e30f;
    const float cr = std::cos(reverse);
    const float sr = std::sin(reverse);
    for (const std::size_t k : kRegionLandmarks) {
        const float x = (landmarks[k].x - alignedX) * w;
        const float y = (landmarks[k].y - alignedY) * h;
        const float px = x * cr - y * sr;
        const float py = x * sr + y * cr;
        pMinX = std::min(pMinX, px);
        pMaxX = std::max(pMaxX, px);
        pMinY = std::min(pMinY, py);
        pMaxY = std::max(pMaxY, py);
    }
    const float centreX = (pMinX + pMaxX) / 2.0f;
    const float centreY = (pMinY + pMaxY) / 2.0f;
    const float c = std::cos(rotation);
    const float s = std::sin(rotation);
    RotatedRect rect;
    rect.xCenter = (centreX * c - centreY * s + w * alignedX) / w;
    rect.yCenter = (centreX * s + centreY * c + h * alignedY) / h;
    rect.width = (pMaxX - pMinX) / w;
    rect.height = (pMaxY - pMinY) / h;
    rect.rotation = rotation;
    return transformRegion(rect, image, kLandmarkRegionScale, 0.0f, kLandmarkRegionShiftY);
}

HandLandmarks projectLandmarks(const HandLandmarks& inRegion, const RotatedRect& region) {
    const float c = std::cos(region.rotation);
    const float s = std::sin(region.rotation);
    HandLandmarks out{};
    for (std::size_t k = 0; k < kHandLandmarks; ++k) {
        const float x = inRegion[k].x - 0.5f;
        const float y = inRegion[k].y - 0.5f;
        out[k].x = (x * c - y * s) * region.width + region.xCenter;
        out[k].y = (x * s + y * c) * region.height + region.yCenter;
    }
    return out;
}

} // namespace vantor::handtracking
