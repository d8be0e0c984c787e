#pragma once

#include "camera/CameraManager.h"
#include "camera/CameraRows.h"
#include "core/Console.h"
#include "core/Signal.h"

#include <QWidget>

#include <vector>

class QPushButton;
class QSlider;

namespace vantor::surface {
class ContentView;
}

namespace vantor::camera {

class CameraPreview;

// The gesture tab: the camera area (only while the camera is enabled, with
// the manager's notice over it), the button that switches the camera, and
// one row per tracked value: a "variables" menu choosing the parameter the
// value drives, above a slider showing the value. What a row sends, and
// when, is CameraRows'; the panel shows its positions and hands it the
// user's choices and drags.
//
// The manager must outlive the panel: the camera area stops the session when
// it goes. Main thread only.
class CameraControlView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPickerWidth = 200;

    CameraControlView(CameraManager& cameraManager, surface::ContentView& content, Console& console,
                      QWidget* parent = nullptr);

private:
    void buildRow(std::size_t row, QWidget* parent);
    void toggleCamera();
    void showCameraEnabled(bool enabled);
    void showPosition(std::size_t row);

    CameraManager& cameraManager_;
    surface::ContentView& content_;
    CameraRows rows_;

    CameraPreview* preview_ = nullptr;
    QPushButton* toggle_ = nullptr;
    std::vector<QSlider*> sliders_;

    Signal<std::size_t>::Connection rowChanged_;
    Signal<std::vector<TrackingPoint>>::Connection pointsChanged_;
    Signal<bool>::Connection cameraEnabledChanged_;
    Signal<CameraNotice>::Connection noticeChanged_;
};

} // namespace vantor::camera
