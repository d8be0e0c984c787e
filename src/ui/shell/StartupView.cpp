#include "ui/shell/StartupView.h"

#include "ui/shell/ShellArtwork.h"
#include "ui/widgets/Artwork.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vantor::app {

namespace {

constexpr QSize kArtSize(700, 700);
constexpr int kMargin = 11;

} // namespace

StartupView::StartupView(QSize hint, QSize minimum, std::function<void()> firstShown, QWidget* parent)
    : QWidget(parent), hint_(hint), minimum_(minimum), firstShown_(std::move(firstShown)) {
    setObjectName(QStringLiteral("startupView"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);

    // Two layers in one grid cell: the title fills the area, the picture
    // lies over it at the lower left.
    auto* layers = new QGridLayout(this);
    layers->setContentsMargins(0, 0, 0, 0);

    auto* title = new QLabel(QStringLiteral("vantor*2"), this);
    title->setObjectName(QStringLiteral("splashTitle"));
    title->setAlignment(Qt::AlignCenter);
    QFont large = title->font();
    large.setPointSizeF(large.pointSizeF() * 2.0);
    large.setBold(true);
    title->setFont(large);
    layers->addWidget(title, 0, 0);

    auto* artLayer = new QVBoxLayout;
    artLayer->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    artLayer->addStretch();
    auto* row = new QHBoxLayout;
    auto* art = new widgets::ArtworkView(kAscii1, kArtSize, Qt::AlignLeft | Qt::AlignBottom, this);
    art->setObjectName(QStringLiteral("splashArt"));
    row->addWidget(art, 1);
    row->addStretch();
    artLayer->addLayout(row, 1);
    layers->addLayout(artLayer, 0, 0);
}

void StartupView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (auto firstShown = std::exchange(firstShown_, nullptr)) firstShown();
}

} // namespace vantor::app
