#pragma once

#include "core/Console.h"

namespace vantor::platform {

// Diagnostic lines on standard output, each flushed at once so that a
// reader at the other end of a pipe sees it immediately.
class StdoutConsole : public Console {
public:
    void printLine(std::string_view line) override;
};

} // namespace vantor::platform
