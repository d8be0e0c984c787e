#include "ui/widgets/Artwork.h"

#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QSvgRenderer>

namespace vantor::widgets {

QIcon artworkIcon(const QString& resource) {
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (const int side : {16, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

ArtworkView::ArtworkView(const QString& resource, QSize maximum, Qt::Alignment alignment, QWidget* parent)
    : QWidget(parent), renderer_(new QSvgRenderer(resource, this)), maximum_(maximum), alignment_(alignment) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMaximumSize(maximum);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ArtworkView::~ArtworkView() = default;

QSize ArtworkView::sizeHint() const { return renderer_->defaultSize().scaled(maximum_, Qt::KeepAspectRatio); }

bool ArtworkView::isValid() const { return renderer_->isValid(); }

void ArtworkView::paintEvent(QPaintEvent*) {
    const QSize fitted = renderer_->defaultSize().scaled(size(), Qt::KeepAspectRatio);
    const QRect target = QStyle::alignedRect(layoutDirection(), alignment_, fitted, rect());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer_->render(&painter, target);
}

} // namespace vantor::widgets
