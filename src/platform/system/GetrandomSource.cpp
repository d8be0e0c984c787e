#include "platform/system/GetrandomSource.h"

#include <sys/random.h>

#include <cerrno>
#include <cstddef>

namespace vantor::platform {

std::uint64_t GetrandomSource::nextWord() {
    std::uint64_t word = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&word);
    std::size_t filled = 0;
    // Up to 256 bytes never come back short once the generator is seeded,
    // but a signal can interrupt the wait for seeding at boot.
    while (filled < sizeof word) {
        const ssize_t got = getrandom(bytes + filled, sizeof word - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            break; // no kernel generator: leave what we have rather than hang
        }
    }
    return word;
}

} // namespace vantor::platform
