#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace vantor::camera {

// Full scale of the 14-bit number a camera row sends.
inline constexpr std::int64_t kCameraValueMaximum = 16383;

// The number a camera row sends for `value` (0..1 on its slider): value ×
// 16383, truncated toward zero, then kept within 0..16383. The pinch can
// measure up to about 1.414; unclamped, 1.2 would become 19659, which the
// 14-bit encoding wraps to 3275, so a wide pinch would send a small value.
// Nothing for a value that is not a finite number.
inline std::optional<std::int64_t> scaledCameraValue(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double scaled = std::trunc(value * static_cast<double>(kCameraValueMaximum));
    if (!(scaled > 0.0)) return 0;
    if (scaled >= static_cast<double>(kCameraValueMaximum)) return kCameraValueMaximum;
    return static_cast<std::int64_t>(scaled);
}

} // namespace vantor::camera
