#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace vantor::midi {

// A control value as it goes on the wire: truncated toward zero (100.9 sends
// 100). A value that is not a finite number, or too large for any integer,
// has no wire form and is never sent.
inline std::optional<std::int64_t> sendableValue(double value) {
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(value) || value >= kLimit || value <= -kLimit) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

} // namespace vantor::midi
