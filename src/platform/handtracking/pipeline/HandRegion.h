#pragma once

#include "PalmDecoding.h"

#include <array>
#include <cstddef>
#include <span>

namespace vantor::handtracking {

// A rotated rectangle of the picture in 0..1 coordinates (x right, y down):
// width in units of the picture's width, height in units of its height,
// rotation in radians, clockwise on screen.
struct RotatedRect {
    float xCenter = 0.0f;
    float yCenter = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float rotation = 0.0f;
};

struct ImageSize {
    int width = 0;
    int height = 0;
};

inline constexpr std::size_t kHandLandmarks = 21;
using HandLandmarks = std::array<Point2, kHandLandmarks>;

// Landmark numbers of the hand model.
enum class HandLandmark : std::size_t {
    Wrist = 0,
    ThumbTip = 4,
    IndexKnuckle = 5,
    IndexTip = 8,
    MiddleKnuckle = 9,
    MiddleTip = 12,
    RingKnuckle = 13,
    LittleTip = 20,
};

inline const Point2& landmark(const HandLandmarks& landmarks, HandLandmark which) {
    return landmarks[static_cast<std::size_t>(which)];
}

// An angle brought into [-pi, pi).
float normalizeRadians(float angle);

// The region the landmark model reads for a palm: turned so that the wrist
// points down and the fingers up, enlarged to take in the whole hand.
RotatedRect handRegionFromPalm(const PalmDetection& palm, ImageSize image);

// The region for the next frame, from this frame's landmarks (in 0..1 of the
// picture): the same orientation rule, the rotated bounding box of the palm
// and finger bases, enlarged.
RotatedRect handRegionFromLandmarks(const HandLandmarks& landmarks, ImageSize image);

// Moves a rectangle along its own axes by a fraction of its size, makes it
// square in pixels on its long side, then scales it.
RotatedRect transformRegion(const RotatedRect& rect, ImageSize image, float scale, float shiftX, float shiftY);

// Landmarks the model gives in 0..1 of its square input, mapped back to
// 0..1 of the picture through the region the input was cut from.
HandLandmarks projectLandmarks(const HandLandmarks& inRegion, const RotatedRect& region);

} // namespace vantor::handtracking
