#pragma once

#include <cstddef>
#include <optional>

namespace vantor::surface {

// The surface counts many things with small whole numbers: a slider's place
// among the 43 values, the NRPN parameter it sends, a page's tag, a link
// group. As plain ints one passes for another without a word (a slider
// index for its parameter number, a page's tag for its place in the tab
// bar), so each is a type of its own, made explicitly.
template <typename Kind>
class Number {
public:
    constexpr explicit Number(int value) : value_(value) {}
    constexpr int value() const { return value_; }
    friend constexpr bool operator==(Number, Number) = default;

private:
    int value_;
};

// A number that exists only within 0..Count-1, checked once, where it is
// made: of() gives nothing for a number outside.
template <typename Kind, int Count>
class Bounded {
public:
    static constexpr int kCount = Count;
    static constexpr std::optional<Bounded> of(int value) {
        if (value < 0 || value >= Count) return std::nullopt;
        return Bounded(value);
    }
    constexpr int value() const { return value_; }
    constexpr std::size_t index() const { return static_cast<std::size_t>(value_); }
    friend constexpr bool operator==(Bounded, Bounded) = default;

private:
    constexpr explicit Bounded(int value) : value_(value) {}
    int value_;
};

// A slider's place among the synth's 43 parameters.
using SliderIndex = Bounded<struct SliderIndexKind, 43>;
// One of the six link groups: group g is parameters 6g + 1 .. 6g + 6, and
// slider page g's "Group" bar switches it.
using LinkGroup = Bounded<struct LinkGroupKind, 6>;
// An NRPN parameter number as sent.
using Parameter = Number<struct ParameterKind>;
// A page of the tab view by its tag (slider pages 0..4, gesture 6, utility
// 7), which is not its place in the tab bar.
using TabTag = Number<struct TabTagKind>;

} // namespace vantor::surface
