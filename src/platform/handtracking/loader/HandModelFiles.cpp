#include "HandModelFiles.h"

#include <filesystem>
#include <system_error>

namespace vantor::handtracking {
namespace {

const char* variantSuffix(ModelVariant variant) { return variant == ModelVariant::Full ? "full" : "lite"; }

} // namespace

std::string besideProgram(const std::string& relative) {
    std::error_code failed;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) return relative;
    return (executable.parent_path().parent_path() / relative).string();
}

std::string defaultModelsDirectory() { return besideProgram("share/vantor2/models"); }

std::string palmModelPath(const std::string& modelsDirectory, ModelVariant variant) {
    return modelsDirectory + "/palm_detection_" + variantSuffix(variant) + ".tflite";
}

std::string landmarkModelPath(const std::string& modelsDirectory, ModelVariant variant) {
    return modelsDirectory + "/hand_landmark_" + variantSuffix(variant) + ".tflite";
}

} // namespace vantor::handtracking
