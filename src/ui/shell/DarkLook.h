#pragma once

class QApplication;

namespace vantor::app {

// Qt's Fusion style with a dark palette: the look on every desktop, whatever
// its theme.
void applyDarkLook(QApplication& application);

} // namespace vantor::app
