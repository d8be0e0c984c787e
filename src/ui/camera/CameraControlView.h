#pragma once

#include "camera/CameraManager.h"
#include "core/Console.h"
#include "core/Signal.h"

#include <QWidget>

#include <array>
#include <string_view>
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
// value drives, above a slider showing the value.
//
// A row sends whenever its value changes, whatever changed it (a hand frame,
// the reset when the hand leaves, a drag), to the parameter its menu shows
// at that moment. Choosing another parameter sends nothing by itself. The
// slider's positions are the numbers a row sends, 0..16383: it shows a value
// as it goes out, and position p stands for the value p / 16383, which sends
// p again.
//
// The manager must outlive the panel: the camera area stops the session when
// it goes. Main thread only.
class CameraControlView : public QWidget {
    Q_OBJECT

public:
    static constexpr std::string_view kNoDestinationLine = "MIDI destination endpoint not connected.";
    static constexpr int kPickerWidth = 200;

    CameraControlView(CameraManager& cameraManager, surface::ContentView& content, Console& console,
                      QWidget* parent = nullptr);

    // The parameter number each row sends to (2, 4, 6, 8, 10 at first).
    const std::vector<int>& nrpnAssignments() const { return nrpnAssignments_; }

    // Sends one row's value to `parameter` on channel 0: value x 16383,
    // truncated and kept within 0..16383 (see scaledCameraValue). Without a
    // destination it prints kNoDestinationLine instead; a value that is not a
    // finite number is not sent at all.
    void sendCameraValue(double value, int parameter);

private:
    void buildRow(std::size_t row, QWidget* parent);
    void toggleCamera();
    void showCameraEnabled(bool enabled);
    // Shows the new values and sends every row whose value changed.
    void refreshValues(const TrackedValues& values);
    void showValue(std::size_t row, double value);

    CameraManager& cameraManager_;
    surface::ContentView& content_;
    Console& console_;

    std::vector<int> nrpnAssignments_;
    // The values at the last refresh: a row sends when its value differs.
    TrackedValues shownValues_{};

    CameraPreview* preview_ = nullptr;
    QPushButton* toggle_ = nullptr;
    std::vector<QSlider*> sliders_;

    Signal<TrackedValues>::Connection valuesChanged_;
    Signal<std::vector<TrackingPoint>>::Connection pointsChanged_;
    Signal<bool>::Connection cameraEnabledChanged_;
    Signal<CameraNotice>::Connection noticeChanged_;
};

} // namespace vantor::camera
