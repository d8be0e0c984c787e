#include "ui/camera/CameraPreview.h"

#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace vantor::camera {

CameraPreview::CameraPreview(CaptureSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setFixedSize(kAreaSize);
    // paintEvent covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);

    // Light on a dark, half-transparent plate: readable on black and over
    // any picture alike.
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("cameraNotice"));
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setMargin(6);
    notice_->setAutoFillBackground(true);
    QPalette colours = notice_->palette();
    colours.setColor(QPalette::Window, QColor(0, 0, 0, 160));
    colours.setColor(QPalette::WindowText, Qt::white);
    notice_->setPalette(colours);
    notice_->hide();
    auto* centre = new QVBoxLayout(this);
    centre->addWidget(notice_, 0, Qt::AlignCenter);
}

CameraPreview::~CameraPreview() {
    if (hooked_) stopPictures();
}

void CameraPreview::setTrackingPoints(std::vector<TrackingPoint> points) {
    trackingPoints_ = std::move(points);
    update();
}

void CameraPreview::setNotice(const QString& text) {
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
}

void CameraPreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !hooked_) startPictures();
}

void CameraPreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous() && hooked_) stopPictures();
}

void CameraPreview::startPictures() {
    const std::uint64_t showing = ++showing_;
    // The area's size in device pixels, so that a high-density screen shows
    // every pixel it can.
    const QSize shown = (QSizeF(kAreaSize) * devicePixelRatioF()).toSize();
    session_.setPreviewHandler(
        [this, showing, shown](const VideoFrame& frame) { handOver(frame, showing, shown); });
    hooked_ = true;
    session_.startRunning();
}

void CameraPreview::stopPictures() {
    session_.stopRunning();
    // Once this returns, no handler call is running and none will: a picture
    // still in the event queue belongs to a finished period and is dropped.
    session_.setPreviewHandler({});
    hooked_ = false;
    ++showing_;
    picture_ = QImage();
}

void CameraPreview::handOver(const VideoFrame& frame, std::uint64_t showing, QSize shown) {
    // An empty frame says the camera went away: it is never dropped, or the
    // last picture would stay on screen.
    const bool cameraGone = !frame.isValid();
    if (!cameraGone && picturePending_.exchange(true)) return;
    QImage picture = toImage(frame, shown);
    // `this` outlives every call of the handler (the destructor unhooks it),
    // and Qt discards the queued call if this widget is gone by then.
    QMetaObject::invokeMethod(
        this, [this, picture = std::move(picture), showing] { receive(picture, showing); }, Qt::QueuedConnection);
}

void CameraPreview::receive(const QImage& picture, std::uint64_t showing) {
    picturePending_ = false;
    if (showing != showing_) return;
    picture_ = picture;
    update();
}

void CameraPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = rect();
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) {
        painter.drawImage(area, picture_);
    }

    // A pen of width 2 along a line 1 px in covers exactly the outer 2 px.
    const qreal inset = kBorderWidth / 2.0;
    painter.setPen(QPen(Qt::gray, kBorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(inset, inset, -inset, -inset));

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::red);
    const qreal radius = kDotDiameter / 2.0;
    for (const TrackingPoint& point : trackingPoints_) {
        // The joints' origin is the lower left; the widget's is the upper left.
        const QPointF centre(point.x * area.width(), (1.0 - point.y) * area.height());
        painter.drawEllipse(centre, radius, radius);
    }
}

QRectF aspectFillSource(const QSizeF& picture, const QSizeF& area) {
    if (picture.isEmpty() || area.isEmpty()) return QRectF(QPointF(), picture);
    const qreal scale = std::max(area.width() / picture.width(), area.height() / picture.height());
    const QSizeF shown(area.width() / scale, area.height() / scale);
    return QRectF(QPointF((picture.width() - shown.width()) / 2.0, (picture.height() - shown.height()) / 2.0),
                  shown);
}

QImage toImage(const VideoFrame& frame, const QSize& shown) {
    if (!frame.isValid() || shown.isEmpty()) return {};
    const QRect part = aspectFillSource(QSizeF(frame.width, frame.height), QSizeF(shown))
                           .toRect()
                           .intersected(QRect(0, 0, frame.width, frame.height));
    // Wraps the shown part of the frame's pixels without copying; scaling
    // makes the copy that the main thread keeps.
    const qsizetype stride = static_cast<qsizetype>(frame.width) * 3;
    const QImage wrapped(frame.bgr->data() + part.y() * stride + part.x() * 3, part.width(), part.height(), stride,
                         QImage::Format_BGR888);
    // Nearest pixel, as drawing the whole picture scaled did: a preview, and
    // cheap enough for every frame.
    return wrapped.scaled(shown, Qt::IgnoreAspectRatio, Qt::FastTransformation).convertToFormat(QImage::Format_RGB32);
}

} // namespace vantor::camera
