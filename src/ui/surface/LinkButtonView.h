#pragma once

#include "core/Signal.h"
#include "surface/SurfaceIds.h"

#include <QPushButton>

namespace vantor::surface {

class ContentView;

// The "Group"/"Ungroup" bar of a slider page: shows its link group's flag
// ("Ungroup" in green while set, "Group" in white while clear) and flips it
// on a press. It sends nothing and moves no slider.
class LinkButtonView : public QPushButton {
    Q_OBJECT

public:
    static const QColor kLinkedColour;
    static const QColor kUnlinkedColour;

    LinkButtonView(ContentView& content, LinkGroup group, QWidget* parent = nullptr);

private:
    void showFlag();

    ContentView& content_;
    const LinkGroup group_;
    Signal<LinkGroup>::Connection linkChanged_;
};

} // namespace vantor::surface
