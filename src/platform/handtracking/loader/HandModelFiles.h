#pragma once

#include <string>

namespace vantor::handtracking {

// MediaPipe ships each model in two sizes.
enum class ModelVariant { Lite, Full };

// `relative` to the folder above the running program's own: <bin>/../`relative`.
std::string besideProgram(const std::string& relative);

// The models directory beside the running program: <bin>/../share/vantor2/models.
std::string defaultModelsDirectory();

// The model files of one variant, inside a models directory.
std::string palmModelPath(const std::string& modelsDirectory, ModelVariant variant);
std::string landmarkModelPath(const std::string& modelsDirectory, ModelVariant variant);

} // namespace vantor::handtracking
