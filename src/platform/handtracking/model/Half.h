#pragma once

#include <cstdint>
#include <cstring>

namespace vantor::handtracking {

// IEEE 754 half precision to single precision, exact for every input
// (subnormals, infinities and NaNs included). The models store their weights
// this way; they are widened once when a model is loaded.
inline float halfToFloat(std::uint16_t h) {
    const std::uint32_t sign = static_cast<std::uint32_t>(h & 0x8000u) << 16;
    std::uint32_t exponent = (h >> 10) & 0x1fu;
    std::uint32_t mantissa = h & 0x3ffu;
    std::uint32_t bits = 0;
    if (exponent == 0x1fu) {
        bits = sign | 0x7f800000u | (mantissa << 13);
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112u) << 23) | (mantissa << 13);
    } else if (mantissa != 0) {
        // Subnormal: shift the mantissa up until its leading one is implicit.
        exponent = 113;
        while ((mantissa & 0x400u) == 0) {
            mantissa <<= 1;
            --exponent;
        }
        bits = sign | (exponent << 23) | ((mantissa & 0x3ffu) << 13);
    } else {
        bits = sign;
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace vantor::handtracking
