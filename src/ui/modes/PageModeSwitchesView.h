#pragma once

#include <QWidget>

namespace vantor::surface {
class ContentView;
}

namespace vantor::modes {

// The five switches every slider page carries, in a centred column: pulse,
// the "equation ??" regen button, algorithm mode, channel assign and
// complexity. Each page has its own copy, bound to the same five flags.
class PageModeSwitchesView : public QWidget {
    Q_OBJECT

public:
    explicit PageModeSwitchesView(surface::ContentView& content, QWidget* parent = nullptr);
};

// The header's pair: voice allocation, then drum assign.
class HeaderModeSwitchesView : public QWidget {
    Q_OBJECT

public:
    explicit HeaderModeSwitchesView(surface::ContentView& content, QWidget* parent = nullptr);
};

} // namespace vantor::modes
