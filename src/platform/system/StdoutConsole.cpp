#include "platform/system/StdoutConsole.h"

#include <cstdio>
#include <mutex>

namespace vantor::platform {

void StdoutConsole::printLine(std::string_view line) {
    // The camera worker may print while the main thread does; a line is
    // written whole either way.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace vantor::platform
