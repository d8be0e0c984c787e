#pragma once

#include "core/RandomSource.h"

namespace vantor::platform {

// 64-bit words from the kernel's random generator (getrandom(2)).
class GetrandomSource : public RandomSource {
public:
    std::uint64_t nextWord() override;
};

} // namespace vantor::platform
