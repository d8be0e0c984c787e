#include "camera/CameraManager.h"

#include <cmath>
#include <utility>

namespace vantor::camera {

CameraManager::CameraManager(std::unique_ptr<CaptureSession> session, std::unique_ptr<HandPoseDetector> detector,
                             MainQueue& mainQueue, Console& console)
    : mainQueue_(mainQueue), console_(console), detector_(std::move(detector)), session_(std::move(session)) {
    // No worker runs yet: the detector may be asked here.
    handTrackingAvailable_ = detector_ && detector_->canFindHands();
    workerTrackingAvailable_ = handTrackingAvailable_;
    toldNotice_ = notice();
    setupCamera();
}

CameraManager::~CameraManager() {
    // The worker calls into this object; it must be gone before any member is.
    session_->stopRunning();
}

void CameraManager::setupCamera() {
    // Without a camera the session stays bare: starting it delivers nothing.
    if (!session_->hasInput() || !detector_) return;
    session_->setFrameHandler([this](const VideoFrame& frame) { captureOutput(frame); });
    // inputState() is read again on the main thread, so the notice always
    // tells the session's latest state.
    session_->setInputStateHandler([this](InputState) { postWhileAlive([this] { tellNotice(); }); });
}

void CameraManager::setSliderValue(std::size_t index, double value) {
    if (index >= sliderValues_.size() || !std::isfinite(value)) return;
    auto values = sliderValues_;
    values[index] = value;
    publishSliderValues(values);
}

CameraNotice CameraManager::notice() const {
    if (!session_->hasInput()) return CameraNotice::NoCamera;
    if (session_->inputState() == InputState::Lost) return CameraNotice::CameraDisconnected;
    if (!handTrackingAvailable_) return CameraNotice::HandTrackingUnavailable;
    return CameraNotice::None;
}

void CameraManager::captureOutput(const VideoFrame& frame) {
    // Without hand tracking every picture would read as one without a hand,
    // and its reset would undo each value the user sets on the rows by hand.
    if (!workerTrackingAvailable_) return;
    // While the tracker is being built (on a thread of its own, so that
    // stopping the camera never waits for it) pictures are not read.
    if (!detector_->isReady()) {
        detector_->prepare();
        return;
    }
    const auto hands = detector_->detect(frame);
    checkHandTracking();
    if (!workerTrackingAvailable_) return;
    // A failed run of a working tracker is treated like a picture without a hand.
    if (!hands || hands->empty()) {
        postWhileAlive([this] { resetSliderValues(); });
        return;
    }
    processHandPose(hands->front());
}

void CameraManager::processHandPose(const HandObservation& hand) {
    const auto values = rawTrackedValues(hand);
    if (!values) {
        // The picture is dropped: nothing is posted, nothing changes.
        console_.printLine(kRecognitionErrorLine);
        return;
    }
    // One task per picture, so the values and the overlay change together.
    postWhileAlive([this, values = *values, hand] {
        applySmoothedValues(values);
        updateHandTrackingPoints(hand);
    });
}

void CameraManager::checkHandTracking() {
    if (!workerTrackingAvailable_ || detector_->canFindHands()) return;
    workerTrackingAvailable_ = false;
    postWhileAlive([this] { loseHandTracking(); });
}

void CameraManager::loseHandTracking() {
    handTrackingAvailable_ = false;
    tellNotice();
}

void CameraManager::tellNotice() {
    const CameraNotice now = notice();
    if (now == toldNotice_) return;
    toldNotice_ = now;
    noticeChanged_.emit(now);
}

void CameraManager::postWhileAlive(MainQueue::Task task) {
    mainQueue_.post(lifetime_.guard(std::move(task)));
}

void CameraManager::applySmoothedValues(const TrackedValues& values) {
    // The memory is lastValues_, not the published values: a reset or a drag
    // in between does not pull the next hand frame toward it.
    for (std::size_t i = 0; i < lastValues_.size(); ++i) {
        const double weight = i == index(TrackedValue::Tilt) ? kTiltSmoothingWeight : kSmoothingFactor;
        lastValues_[i] += weight * (values[i] - lastValues_[i]);
    }
    publishSliderValues(lastValues_);
}

void CameraManager::updateHandTrackingPoints(const HandObservation& hand) {
    auto points = overlayPoints(hand);
    if (points == handTrackingPoints_) return;
    handTrackingPoints_ = std::move(points);
    handTrackingPointsChanged_.emit(handTrackingPoints_);
}

void CameraManager::resetSliderValues() {
    // The overlay keeps the last hand and lastValues_ keeps its memory, so a
    // hand that comes back continues from where it left.
    publishSliderValues(TrackedValues{});
}

void CameraManager::publishSliderValues(const TrackedValues& values) {
    if (values == sliderValues_) return;
    sliderValues_ = values;
    sliderValuesChanged_.emit(sliderValues_);
}

} // namespace vantor::camera
