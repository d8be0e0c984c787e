#include "ui/shell/AboutWindow.h"

#include "ui/shell/ShellArtwork.h"
#include "ui/widgets/Artwork.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vantor::app {

namespace {

constexpr QSize kWindowSize(480, 300);
constexpr QSize kArtSize(400, 600);
constexpr int kMargin = 11;

QLabel* blackLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(colours);
    return label;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowTitle(QStringLiteral("vantor*2"));
    setFixedSize(kWindowSize);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);

    auto* layers = new QGridLayout(this);
    layers->setContentsMargins(0, 0, 0, 0);

    auto* title = blackLabel(QStringLiteral("About vantor*2"), this);
    title->setObjectName(QStringLiteral("aboutTitle"));
    QFont largeTitle = title->font();
    largeTitle.setPointSizeF(largeTitle.pointSizeF() * 2.2);
    title->setFont(largeTitle);
    layers->addWidget(title, 0, 0);

    auto* front = new QVBoxLayout;
    front->setContentsMargins(kMargin, kMargin, kMargin, 0);
    front->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(new widgets::ArtworkView(kAscii1, kArtSize, Qt::AlignLeft | Qt::AlignBottom, this), 1);
    row->addStretch();
    front->addLayout(row, 1);
    auto* name = blackLabel(QStringLiteral("vantor*2"), this);
    name->setObjectName(QStringLiteral("aboutName"));
    name->setMargin(8);
    front->addWidget(name);
    layers->addLayout(front, 0, 0);
}

} // namespace vantor::app
