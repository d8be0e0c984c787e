#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vantor::handpose::test {

// Where the build puts the models, and the reference data in the source tree.
inline std::string modelPath(const std::string& file) { return std::string(VANTOR_TEST_MODELS_DIR) + "/" + file; }
inline std::string dataPath(const std::string& file) { return std::string(VANTOR_TEST_DATA_DIR) + "/" + file; }

// A raw little-endian float32 file; empty when it cannot be read.
inline std::vector<float> readFloats(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return {};
    const auto size = static_cast<std::size_t>(file.tellg());
    std::vector<float> values(size / sizeof(float));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(float)));
    return values;
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace vantor::handpose::test
