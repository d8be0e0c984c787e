#pragma once

#include "core/RandomSource.h"

#include <cstdint>
#include <deque>
#include <initializer_list>

namespace vantor::testing {

// Hands out the scripted words in order, then `fallback` for ever.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::initializer_list<std::uint64_t> words = {}, std::uint64_t fallback = 0)
        : words_(words), fallback_(fallback) {}

    void push(std::uint64_t word) { words_.push_back(word); }
    std::size_t drawn() const { return drawn_; }

    std::uint64_t nextWord() override {
        ++drawn_;
        if (words_.empty()) return fallback_;
        const auto word = words_.front();
        words_.pop_front();
        return word;
    }

private:
    std::deque<std::uint64_t> words_;
    std::uint64_t fallback_;
    std::size_t drawn_ = 0;
};

} // namespace vantor::testing
