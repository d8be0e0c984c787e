#pragma once

#include <functional>
#include <memory>

namespace vantor::camera {

class CameraManager;

// Builds the one camera manager of a window, with the real camera or a
// scripted one; the window calls it when its control surface is first shown.
using CameraManagerFactory = std::function<std::unique_ptr<CameraManager>()>;

} // namespace vantor::camera
