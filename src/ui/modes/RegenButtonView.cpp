#include "ui/modes/RegenButtonView.h"

#include "modes/ModeSwitches.h"
#include "surface/ContentView.h"
#include "ui/modes/ModeSwitchDescription.h"
#include "ui/widgets/QtText.h"

namespace vantor::modes {

const QColor RegenButtonView::kHighlightColour = QColor(Qt::yellow);

namespace {

constexpr int kMaximumHeight = 50;

QString barStyle(bool highlighted) {
    // Round ends; clear at rest, yellow (with dark text) while lit.
    return highlighted ? QStringLiteral("QPushButton { border: none; border-radius: 10px; padding: 4px 8px;"
                                        " background: %1; color: black; }")
                             .arg(RegenButtonView::kHighlightColour.name())
                       : QStringLiteral("QPushButton { border: 1px solid rgba(255, 255, 255, 40); border-radius: 10px;"
                                        " padding: 4px 8px; background: transparent; }"
                                        "QPushButton:pressed { background: rgba(255, 255, 255, 40); }");
}

} // namespace

RegenButtonView::RegenButtonView(surface::ContentView& content, QWidget* parent)
    : QPushButton(parent), content_(content) {
    const ModeSwitchInfo& info = modeSwitch(ModeSwitchId::Regen);
    setObjectName(QStringLiteral("modeSwitch.") + widgets::qtText(info.key));
    setAccessibleDescription(switchDescription(ModeSwitchId::Regen));
    setText(widgets::qtText(info.labelOff));
    setAutoDefault(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setMaximumHeight(kMaximumHeight);
    connect(this, &QPushButton::clicked, this, [this] { content_.pressRegenButton(); });
    showHighlight(content_.regenHighlighted());
    highlightChanged_ = content_.regenHighlightChanged.connect([this](bool on) { showHighlight(on); });
}

void RegenButtonView::showHighlight(bool on) {
    highlighted_ = on;
    setStyleSheet(barStyle(on));
}

} // namespace vantor::modes
