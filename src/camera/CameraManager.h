#pragma once

#include "camera/CameraNotice.h"
#include "camera/CaptureSession.h"
#include "camera/HandMeasures.h"
#include "camera/HandPoseDetector.h"
#include "core/Console.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/Signal.h"

#include <memory>
#include <string_view>
#include <vector>

namespace vantor::camera {

// Turns the camera's pictures into five hand-driven values for the camera
// panel. Every picture is analysed on the capture session's worker thread;
// the outcome, at most one task per picture, is posted to the main thread,
// where the values are smoothed and published. Everything published is
// touched on the main thread only, so nothing here is locked.
//
// The session is configured when the manager is built but never started
// here: the panel starts and stops it.
class CameraManager {
public:
    // Share of the way each hand frame moves values 0 to 3 toward the hand.
    static constexpr double kSmoothingFactor = 0.2;
    // The tilt follows faster, half of the way per frame.
    static constexpr double kTiltSmoothingWeight = 0.5;
    static constexpr std::string_view kRecognitionErrorLine = "Error in recognizing points";

    CameraManager(std::unique_ptr<CaptureSession> session, std::unique_ptr<HandPoseDetector> detector,
                  MainQueue& mainQueue, Console& console);
    // Stops the session before anything it uses goes away; results still
    // waiting in the main queue are dropped when they run.
    ~CameraManager();

    CameraManager(const CameraManager&) = delete;
    CameraManager& operator=(const CameraManager&) = delete;

    // Main thread from here on.

    // The five smoothed values, by TrackedValue; zeros while a working tracker
    // sees no hand. Without hand tracking they change only by setSliderValue.
    const TrackedValues& sliderValues() const { return sliderValues_; }
    // A value dragged by hand on the panel. Leaves the smoothing memory alone,
    // so the next hand frame continues from where the hand was. Ignores an
    // index past the last row and a value that is not a finite number.
    void setSliderValue(std::size_t index, double value);
    // Wrist, thumb, index and middle tips of the last hand seen.
    const std::vector<TrackingPoint>& handTrackingPoints() const { return handTrackingPoints_; }
    // The smoothing memory: the smoothed values of the last hand frame.
    const TrackedValues& lastValues() const { return lastValues_; }

    // Told after sliderValues or handTrackingPoints changed, with the new
    // contents; an assignment of equal contents tells nobody.
    Signal<TrackedValues>& sliderValuesChanged() { return sliderValuesChanged_; }
    Signal<std::vector<TrackingPoint>>& handTrackingPointsChanged() { return handTrackingPointsChanged_; }

    // What the camera area should say: no camera, or one pulled out, outranks
    // no hand tracking, since without a picture there is nothing to track in.
    // Told on change.
    CameraNotice notice() const;
    Signal<CameraNotice>& noticeChanged() { return noticeChanged_; }

    // The panel starts and stops it and shows its pictures.
    CaptureSession& session() { return *session_; }

private:
    void setupCamera();
    void captureOutput(const VideoFrame& frame);            // worker thread
    void processHandPose(const HandObservation& hand);      // worker thread
    void postWhileAlive(MainQueue::Task task);              // worker thread
    void applySmoothedValues(const TrackedValues& values);  // main thread
    void updateHandTrackingPoints(const HandObservation& hand); // main thread
    void resetSliderValues();                               // main thread
    void publishSliderValues(const TrackedValues& values);  // main thread
    void checkHandTracking();                               // worker thread
    void loseHandTracking();                                // main thread
    void tellNotice();                                      // main thread

    MainQueue& mainQueue_; // any thread
    Console& console_;     // any thread

    TrackedValues sliderValues_{};                  // main thread
    TrackedValues lastValues_{};                    // main thread
    std::vector<TrackingPoint> handTrackingPoints_; // main thread
    Signal<TrackedValues> sliderValuesChanged_;     // main thread
    Signal<std::vector<TrackingPoint>> handTrackingPointsChanged_; // main thread
    bool handTrackingAvailable_ = false;            // main thread
    Signal<CameraNotice> noticeChanged_;            // main thread
    CameraNotice toldNotice_ = CameraNotice::None;  // main thread: the last notice told

    const std::unique_ptr<HandPoseDetector> detector_; // worker thread
    // The models are read with the first picture; a failure then is seen here.
    bool workerTrackingAvailable_ = false; // worker thread

    // Posted tasks run only while this manager exists; the check and the
    // destruction both happen on the main thread, so they cannot race.
    const Lifetime lifetime_; // guards are made on the worker

    const std::unique_ptr<CaptureSession> session_; // main thread
};

} // namespace vantor::camera
