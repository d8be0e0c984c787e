#pragma once

#include "camera/CameraManager.h"
#include "camera/CameraValueScale.h"
#include "core/Console.h"
#include "core/Signal.h"
#include "midi/MidiManager.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace vantor::camera {

// The camera panel's rows, one per tracked value: the parameter each drives
// and the rule that sends it. A row sends whenever its value changes,
// whatever changed it (a hand frame, the reset when the hand leaves, a
// drag), to the parameter assigned at that moment; assigning another
// parameter sends nothing by itself. A row's position, 0..16383, is the
// number it sends: position p stands for the value p / 16383, which sends p
// again. Follows the manager's published values; main thread only.
class CameraRows {
public:
    static constexpr std::string_view kNoDestinationLine = "MIDI destination endpoint not connected.";
    static constexpr int kPositionMaximum = static_cast<int>(kCameraValueMaximum);
    using Assignments = std::array<int, kTrackedValueCount>;

    // Both must outlive the rows.
    CameraRows(CameraManager& cameraManager, midi::MidiManager& midi, Console& console);

    // The parameter number each row sends to (2, 4, 6, 8, 10 at first).
    const Assignments& assignments() const { return assignments_; }
    void assign(std::size_t row, int parameter);

    // Where a row's slider stands for its current value; values past 1 (a
    // wide pinch) rest at the end.
    int position(std::size_t row) const;
    // The user dragged a row's slider to `position`.
    void drag(std::size_t row, int position);

    // Told for each row whose value changed, just before it is sent.
    Signal<std::size_t>& rowChanged() { return rowChanged_; }

    // Sends a row's value to `parameter` on channel 0: value x 16383,
    // truncated and kept within 0..16383 (see scaledCameraValue). Without a
    // destination it prints kNoDestinationLine instead; a value that is not
    // a finite number is not sent at all.
    void sendCameraValue(double value, int parameter);

private:
    void follow(const TrackedValues& values);

    CameraManager& cameraManager_;
    midi::MidiManager& midi_;
    Console& console_;
    Assignments assignments_{2, 4, 6, 8, 10};
    // The values last followed: a row sends when its value differs.
    TrackedValues values_{};
    Signal<std::size_t> rowChanged_;
    Signal<TrackedValues>::Connection valuesChanged_;
};

} // namespace vantor::camera
