#include "ui/modes/ModeToggleView.h"

#include "surface/ContentView.h"
#include "ui/widgets/QtText.h"

namespace vantor::modes {

ModeToggleView::ModeToggleView(surface::ContentView& content, ModeSwitchId id, QWidget* parent)
    : QCheckBox(parent), content_(content), id_(id) {
    const ModeSwitchInfo& info = modeSwitch(id);
    setObjectName(QStringLiteral("modeSwitch.") + widgets::qtText(info.key));
    setAccessibleDescription(widgets::qtText(info.viewName));
    // `clicked` comes from the user only; the check mark itself is always
    // drawn from the core's flag.
    connect(this, &QCheckBox::clicked, this, [this] {
        content_.setModeFlag(id_, !content_.modeFlag(id_));
        showFlag();
    });
    showFlag();
    flagChanged_ = content_.modeFlagChanged.connect([this](ModeSwitchId changed, bool) {
        if (changed == id_) showFlag();
    });
}

void ModeToggleView::showFlag() {
    const bool on = content_.modeFlag(id_);
    setChecked(on);
    setText(widgets::qtText(labelFor(modeSwitch(id_), on)));
}

} // namespace vantor::modes
