#pragma once

#include <QString>

namespace vantor::app {

// The picture beside the splash's and the About window's texts, bundled by
// this folder's build as a Qt resource.
inline const QString kAscii1 = QStringLiteral(":/artwork/ascii1.svg");

} // namespace vantor::app
