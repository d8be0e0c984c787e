#include "ui/surface/LinkButtonView.h"

#include "surface/ContentView.h"

namespace vantor::surface {

const QColor LinkButtonView::kLinkedColour = QColor(0x34, 0xc7, 0x59);
const QColor LinkButtonView::kUnlinkedColour = QColor(Qt::white);

namespace {

// A slim full-width bar with round ends; only the label's colour is left
// to the palette, so it can follow the flag.
constexpr auto kBarStyle = "QPushButton { border: none; border-radius: 10px; background: rgba(255, 255, 255, 28);"
                           " padding: 1px 8px; }"
                           "QPushButton:hover { background: rgba(255, 255, 255, 44); }"
                           "QPushButton:pressed { background: rgba(255, 255, 255, 64); }"
                           // The style's own focus frame hardly shows on the bar.
                           "QPushButton:focus { border: 1px solid palette(highlight); }";
constexpr int kBarHeight = 20;

} // namespace

LinkButtonView::LinkButtonView(ContentView& content, LinkGroup group, QWidget* parent)
    : QPushButton(parent), content_(content), group_(group) {
    setObjectName(QStringLiteral("linkButton.%1").arg(group.value()));
    setAutoDefault(false);
    setStyleSheet(QString::fromLatin1(kBarStyle));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(kBarHeight);
    connect(this, &QPushButton::clicked, this, [this] { content_.toggleLink(group_); });
    showFlag();
    linkChanged_ = content_.linkChanged.connect([this](LinkGroup changed) {
        if (changed == group_) showFlag();
    });
}

void LinkButtonView::showFlag() {
    const bool linked = content_.isLinked(group_);
    setText(linked ? QStringLiteral("Ungroup") : QStringLiteral("Group"));
    QPalette colours = palette();
    colours.setColor(QPalette::ButtonText, linked ? kLinkedColour : kUnlinkedColour);
    setPalette(colours);
}

} // namespace vantor::surface
