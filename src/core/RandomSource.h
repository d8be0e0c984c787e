#pragma once

#include <cstdint>

namespace vantor {

// Uniformly distributed 64-bit words from the operating system.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual std::uint64_t nextWord() = 0;
};

} // namespace vantor
