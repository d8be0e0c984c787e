#pragma once

#include "camera/CaptureSession.h"
#include "camera/HandMeasures.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <vector>

class QLabel;

namespace vantor::camera {

// The camera area: the session's latest picture filling the widget (aspect
// kept, overflow cropped), a gray border just inside the edge, a red dot on
// every tracked joint, and, when there is one, a short notice centred over
// it all ("No camera found" on black, "Hand tracking unavailable" over the
// picture).
//
// The session runs while this widget is on screen: it is started when the
// widget is shown and stopped when it is hidden. A minimised window keeps it
// running (those hide events come from the window system), so the hand keeps
// playing. Pictures arrive on the session's worker thread and are handed to
// the main thread one at a time: while one is on its way, newer ones are
// dropped, so a slow interface never builds a backlog; a picture taken before
// the widget was hidden is never drawn after it. When the camera goes away
// the picture is cleared.
class CameraPreview : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize kAreaSize{300, 200};
    static constexpr int kBorderWidth = 2;
    static constexpr int kDotDiameter = 10;

    explicit CameraPreview(CaptureSession& session, QWidget* parent = nullptr);
    // Stops the session and unhooks from it first, so that no picture is
    // converted for, or posted to, a widget that is going away.
    ~CameraPreview() override;

    // Normalised, origin at the lower left.
    void setTrackingPoints(std::vector<TrackingPoint> points);
    // Empty: no notice.
    void setNotice(const QString& text);

    // The picture drawn now; null before the first one and after a hide.
    const QImage& picture() const { return picture_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void startPictures();
    void stopPictures();
    void handOver(const VideoFrame& frame, std::uint64_t showing, QSize shown); // worker thread
    void receive(const QImage& picture, std::uint64_t showing);    // main thread

    CaptureSession& session_;                   // main thread
    bool hooked_ = false;                       // main thread: our preview handler is set
    // Counts the periods on screen; a picture carries the one it was taken
    // in and is drawn only if that period is still the current one.
    std::uint64_t showing_ = 0;                 // main thread
    std::atomic<bool> picturePending_{false};   // set on the worker, cleared on the main thread
    QImage picture_;                            // main thread
    std::vector<TrackingPoint> trackingPoints_; // main thread
    QLabel* notice_ = nullptr;                  // main thread
};

// The part of a `picture`-sized image that fills `area` when scaled with its
// aspect ratio kept: the whole of one dimension, the centre of the other.
QRectF aspectFillSource(const QSizeF& picture, const QSizeF& area);

// The part of a camera picture that the preview shows (aspectFillSource),
// scaled to `shown` pixels in the format Qt draws fastest; null for an
// invalid frame. Made on the camera worker, so that the main thread only
// copies it to the screen, and only the pixels shown are converted.
QImage toImage(const VideoFrame& frame, const QSize& shown);

} // namespace vantor::camera
