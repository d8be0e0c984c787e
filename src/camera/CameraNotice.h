#pragma once

#include <string_view>

namespace vantor::camera {

// What the camera area says in words, where a picture alone would leave the
// user guessing: instead of a black picture when there is no camera or it was
// pulled out, over the picture when no hand can be tracked in it.
enum class CameraNotice { None, NoCamera, CameraDisconnected, HandTrackingUnavailable };

constexpr std::string_view noticeText(CameraNotice notice) {
    switch (notice) {
    case CameraNotice::NoCamera: return "No camera found";
    case CameraNotice::CameraDisconnected: return "Camera disconnected";
    case CameraNotice::HandTrackingUnavailable: return "Hand tracking unavailable";
    case CameraNotice::None: break;
    }
    return {};
}

} // namespace vantor::camera
