#include "HandTrackingLoader.h"

#include "HandModelFiles.h"
#include "HandTrackingModule.h"
#include "camera/DeferredHandPoseDetector.h"
#include "camera/NoHandDetector.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vantor::handtracking {
namespace {

void printError(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// Loads the module and builds its detector; nullptr after printing why. The
// module stays loaded until the program ends: its detector and the worker
// threads of its runtime may run until then.
std::unique_ptr<camera::HandPoseDetector> loadHandDetector(const std::string& modulePath) {
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        printError("Hand tracking unavailable: cannot load " + modulePath + ": " + (why ? why : "unknown error"));
        return nullptr;
    }
    const auto create = reinterpret_cast<CreateHandDetector>(dlsym(module, kCreateHandDetectorSymbol));
    if (!create) {
        printError("Hand tracking unavailable: " + modulePath + " is not the hand-tracking module");
        return nullptr;
    }
    std::string error;
    std::unique_ptr<camera::HandPoseDetector> detector(create(&error));
    if (!detector) printError(error);
    return detector;
}

} // namespace

std::string defaultHandTrackingModulePath() { return besideProgram("lib/vantor2/handtracking.so"); }

std::unique_ptr<camera::HandPoseDetector> makeDeferredHandDetector(const std::string& modulePath,
                                                                   const std::string& modelsDirectory,
                                                                   std::string& error) {
    for (const auto& path : {modulePath, palmModelPath(modelsDirectory, ModelVariant::Lite),
                             landmarkModelPath(modelsDirectory, ModelVariant::Lite)}) {
        std::error_code failed;
        if (!std::filesystem::is_regular_file(path, failed)) {
            error = "Hand tracking unavailable: cannot open " + path;
            return nullptr;
        }
    }
    return std::make_unique<camera::DeferredHandPoseDetector>([modulePath] { return loadHandDetector(modulePath); });
}

std::unique_ptr<camera::CameraManager> makeHandTrackingCameraManager(std::unique_ptr<camera::CaptureSession> session,
                                                                     MainQueue& mainQueue, Console& console) {
    std::string error;
    std::unique_ptr<camera::HandPoseDetector> detector =
        makeDeferredHandDetector(defaultHandTrackingModulePath(), defaultModelsDirectory(), error);
    if (!detector) {
        printError(error);
        detector = std::make_unique<camera::NoHandDetector>();
    }
    return std::make_unique<camera::CameraManager>(std::move(session), std::move(detector), mainQueue, console);
}

} // namespace vantor::handtracking
