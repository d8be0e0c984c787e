#pragma once

#include "core/Signal.h"

#include <QPushButton>

namespace vantor::surface {
class ContentView;
}

namespace vantor::modes {

// The "equation ??" push button: each press flips the regen flag and sends
// it (the core does both) and lights the button yellow until the core's
// 0.3 s reset. Its label never changes, and flag changes made elsewhere
// (the dice) do not show on it.
class RegenButtonView : public QPushButton {
    Q_OBJECT

public:
    static const QColor kHighlightColour;

    explicit RegenButtonView(surface::ContentView& content, QWidget* parent = nullptr);

    bool isHighlighted() const { return highlighted_; }

private:
    void showHighlight(bool on);

    surface::ContentView& content_;
    bool highlighted_ = false;
    Signal<bool>::Connection highlightChanged_;
};

} // namespace vantor::modes
