#pragma once

#include <QWidget>

namespace vantor::app {

// The About window: 480 x 300, titled "vantor*2", a dialog of the window
// that opens it, with a close button only (no resizing, no minimising, no
// maximising). Closing it only hides it; the window that opens it keeps and
// reuses it. It never keeps the program running on its own.
class AboutWindow : public QWidget {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

} // namespace vantor::app
