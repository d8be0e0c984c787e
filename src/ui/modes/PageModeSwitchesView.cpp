#include "ui/modes/PageModeSwitchesView.h"

#include "ui/modes/ModeToggleView.h"
#include "ui/modes/RegenButtonView.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vantor::modes {

namespace {

// The switches do not line up in one column: each is pushed sideways by
// extra space on one side, which sets it off from its neighbours.
struct Offset {
    ModeSwitchId id;
    int leading;
    int trailing;
};
constexpr Offset kPageOffsets[] = {
    {ModeSwitchId::Filter, 0, 270},   {ModeSwitchId::Regen, 0, 0},          {ModeSwitchId::Regen2, 400, 0},
    {ModeSwitchId::Midimode, 0, 470}, {ModeSwitchId::Complexity, 0, 420},
};
constexpr int kVoiceTrailing = 470;

// Centres `widget` together with its extra space.
QHBoxLayout* offsetRow(QWidget* widget, int leading, int trailing) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch();
    row->addSpacing(leading);
    row->addWidget(widget);
    row->addSpacing(trailing);
    row->addStretch();
    return row;
}

} // namespace

PageModeSwitchesView::PageModeSwitchesView(surface::ContentView& content, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageModeSwitches"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    for (const Offset& offset : kPageOffsets) {
        if (offset.id == ModeSwitchId::Regen) {
            // The regen button spans the page's width.
            column->addWidget(new RegenButtonView(content, this));
            continue;
        }
        column->addLayout(offsetRow(new ModeToggleView(content, offset.id, this), offset.leading, offset.trailing));
    }
}

HeaderModeSwitchesView::HeaderModeSwitchesView(surface::ContentView& content, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("headerModeSwitches"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch();
    row->addWidget(new ModeToggleView(content, ModeSwitchId::Voice, this));
    row->addSpacing(kVoiceTrailing);
    row->addWidget(new ModeToggleView(content, ModeSwitchId::Drum, this));
    row->addStretch();
}

} // namespace vantor::modes
