#pragma once

#include "core/Console.h"

#include <mutex>
#include <string>
#include <vector>

namespace vantor::testing {

// Keeps every diagnostic line; safe to write from any thread.
class ConsoleRecorder : public Console {
public:
    void printLine(std::string_view line) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace vantor::testing
