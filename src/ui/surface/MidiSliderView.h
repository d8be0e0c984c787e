#pragma once

#include "core/Signal.h"
#include "surface/ParameterCatalogue.h"

#include <QWidget>

#include <vector>

class QSlider;

namespace vantor::surface {

class ContentView;

// The sliders of one slider page: global indices [start, end) of the shared
// 43 values, in a three-column grid. A user's move of slider i is handed to
// the core as an edit on this page (it stores, sends NRPN i + 1 and copies
// to linked groups). Values the core writes itself (link copies, the dice)
// only move the slider: the view's own report is blocked meanwhile.
class MidiSliderView : public QWidget {
    Q_OBJECT

public:
    MidiSliderView(ContentView& content, TabTag tab, QWidget* parent = nullptr);

    SliderRange range() const { return range_; }

private:
    void showValue(SliderIndex slider);
    void showAllValues();

    ContentView& content_;
    const TabTag tab_;
    const SliderRange range_;
    std::vector<QSlider*> sliders_; // sliders_[k] shows index range_.start + k
    Signal<SliderIndex>::Connection valueChanged_;
    Signal<>::Connection valuesReplaced_;
};

} // namespace vantor::surface
