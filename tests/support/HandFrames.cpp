#include "support/HandFrames.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace vantor::testing {

using camera::HandJoint;
using camera::HandObservation;
using camera::JointPoint;

camera::VideoFrame numberedFrame(std::uint32_t number) {
    constexpr int kSide = 4;
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(std::size_t{kSide * kSide * 3}, std::uint8_t{0});
    std::memcpy(pixels->data(), &number, sizeof number);
    return {kSide, kSide, std::move(pixels)};
}

std::uint32_t frameNumber(const camera::VideoFrame& frame) {
    std::uint32_t number = 0;
    if (frame.bgr && frame.bgr->size() >= sizeof number) std::memcpy(&number, frame.bgr->data(), sizeof number);
    return number;
}

HandObservation handWith(std::initializer_list<std::pair<HandJoint, JointPoint>> joints) {
    HandObservation hand;
    for (const auto& [joint, point] : joints) hand.joints[static_cast<std::size_t>(joint)] = point;
    return hand;
}

HandObservation makeHand(const HandShape& shape) {
    const double rise = shape.indexY - shape.thumbY;
    const double across = std::sqrt(std::max(shape.pinch * shape.pinch - rise * rise, 0.0));
    const JointPoint thumb{0.3, shape.thumbY, shape.confidence};
    const JointPoint indexTip{0.3 + across, shape.indexY, shape.confidence};
    const JointPoint middle{0.5, shape.middleY, shape.confidence};
    // Put the midpoint of the index and little tips in the tilt direction
    // from the wrist; the little tip goes wherever that requires.
    const JointPoint wrist{0.5, 0.1, shape.confidence};
    const double midX = wrist.x + 0.3 * std::cos(shape.tiltAngle);
    const double midY = wrist.y + 0.3 * std::sin(shape.tiltAngle);
    const JointPoint little{2 * midX - indexTip.x, 2 * midY - indexTip.y, shape.confidence};
    return handWith({{HandJoint::Wrist, wrist},
                     {HandJoint::ThumbTip, thumb},
                     {HandJoint::IndexTip, indexTip},
                     {HandJoint::MiddleTip, middle},
                     {HandJoint::LittleTip, little}});
}

std::vector<HandObservation> handRamp(const HandShape& from, const HandShape& to, std::size_t frames) {
    std::vector<HandObservation> hands;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = frames > 1 ? static_cast<double>(i) / static_cast<double>(frames - 1) : 0.0;
        const auto mix = [t](double a, double b) { return a + t * (b - a); };
        hands.push_back(makeHand({mix(from.thumbY, to.thumbY), mix(from.indexY, to.indexY),
                                  mix(from.middleY, to.middleY), mix(from.pinch, to.pinch),
                                  mix(from.tiltAngle, to.tiltAngle),
                                  static_cast<float>(mix(from.confidence, to.confidence))}));
    }
    return hands;
}

} // namespace vantor::testing
