#pragma once

#include "core/Signal.h"

#include <QWidget>

#include <array>

class QSlider;

namespace vantor::surface {

class ContentView;

// The utility tab: the sliders "bpm", "algorithm", "swing" and "preset
// index" (NRPN 107..110) in a row, and below them the commands "save
// preset", "load preset" and "dice modulators" (NRPN 111..113, value 0).
// Their values are the core's own utility values, apart from the 43 shared
// ones; the dice and linking never touch them.
class SlidersTabView : public QWidget {
    Q_OBJECT

public:
    explicit SlidersTabView(ContentView& content, QWidget* parent = nullptr);

private:
    void showValue(int position);

    ContentView& content_;
    std::array<QSlider*, 4> sliders_{};
    Signal<int>::Connection valueChanged_;
};

} // namespace vantor::surface
