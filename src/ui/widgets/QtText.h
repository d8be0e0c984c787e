#pragma once

#include <QString>

#include <string_view>

namespace vantor::widgets {

// The catalogue's texts are UTF-8 string views; Qt wants QString.
inline QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace vantor::widgets
