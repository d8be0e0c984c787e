#pragma once

#include "core/Signal.h"

#include <QPushButton>

namespace vantor::surface {

class ContentView;

// The "Group"/"Ungroup" bar of slider page t: shows link flag t ("Ungroup"
// in green while set, "Group" in white while clear) and flips it on a
// press. It sends nothing and moves no slider.
class LinkButtonView : public QPushButton {
    Q_OBJECT

public:
    static const QColor kLinkedColour;
    static const QColor kUnlinkedColour;

    LinkButtonView(ContentView& content, int tab, QWidget* parent = nullptr);

private:
    void showFlag();

    ContentView& content_;
    const int tab_;
    Signal<int>::Connection linkChanged_;
};

} // namespace vantor::surface
