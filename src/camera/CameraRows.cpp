#include "camera/CameraRows.h"

#include "camera/CameraValueScale.h"
#include "midi/SendOrPrint.h"

#include <utility>

namespace vantor::camera {

CameraRows::CameraRows(CameraManager& cameraManager, midi::MidiManager& midi, Console& console)
    : cameraManager_(cameraManager), midi_(midi), console_(console), values_(cameraManager.sliderValues()) {
    valuesChanged_ = cameraManager_.sliderValuesChanged().connect([this](const TrackedValues& values) { follow(values); });
}

void CameraRows::assign(std::size_t row, int parameter) {
    if (row < assignments_.size()) assignments_[row] = parameter;
}

int CameraRows::position(std::size_t row) const {
    if (row >= values_.size()) return 0;
    return static_cast<int>(scaledCameraValue(values_[row]).value_or(0));
}

void CameraRows::drag(std::size_t row, int position) {
    // p / 16383 x 16383 truncates to p again for every p in 0..16383.
    cameraManager_.setSliderValue(row, static_cast<double>(position) / kPositionMaximum);
}

void CameraRows::follow(const TrackedValues& values) {
    // Remember every value before sending any, so that nothing a send does
    // can make a row send twice.
    const TrackedValues previous = std::exchange(values_, values);
    for (std::size_t row = 0; row < values.size(); ++row) {
        if (values[row] == previous[row]) continue;
        rowChanged_.emit(row);
        sendCameraValue(values[row], assignments_[row]);
    }
}

void CameraRows::sendCameraValue(double value, int parameter) {
    const auto scaled = scaledCameraValue(value);
    if (!scaled) return;
    midi::sendOrPrint(midi_, console_, parameter, *scaled, kNoDestinationLine);
}

} // namespace vantor::camera
