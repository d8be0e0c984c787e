#pragma once

#include "surface/SurfaceIds.h"

#include <QWidget>

namespace vantor::surface {

class ContentView;

// Slider page t: its slider grid, its "Group"/"Ungroup" bar (link group t)
// and the five page switches.
class SliderPageView : public QWidget {
    Q_OBJECT

public:
    SliderPageView(ContentView& content, TabTag tab, QWidget* parent = nullptr);
};

} // namespace vantor::surface
