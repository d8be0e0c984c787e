#pragma once

#include <string_view>

namespace vantor {

// Where the program's diagnostic lines go: one whole line per call, exactly
// the given text, nothing added.
class Console {
public:
    virtual ~Console() = default;
    virtual void printLine(std::string_view line) = 0;
};

} // namespace vantor
