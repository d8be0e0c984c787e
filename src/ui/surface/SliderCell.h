#pragma once

#include <QString>

class QSlider;
class QWidget;

namespace vantor::surface {

// One labelled slider as both slider panels show it: the label in a small
// caption font, 5 px of space, then a horizontal slider over 0..16383 with
// no step, whose value shows in a tip while the user moves it. The cell is
// parented to `parent`; the slider is returned so the panel can wire it.
struct SliderCell {
    QWidget* cell;
    QSlider* slider;
};
SliderCell makeSliderCell(const QString& label, const QString& sliderName, QWidget* parent);

} // namespace vantor::surface
