#include "platform/image/ImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vantor::platform {
namespace {

std::string dataPath(const std::string& file) { return std::string(VANTOR_TEST_DATA_DIR) + "/" + file; }

// A copy of a data file that breaks off after `bytes`, as a download can.
std::string cutCopy(const std::string& file, std::size_t bytes) {
    std::ifstream in(dataPath(file), std::ios::binary);
    std::vector<char> content(std::istreambuf_iterator<char>(in), {});
    content.resize(std::min(bytes, content.size()));
    const std::string path = ::testing::TempDir() + "cut-" + std::to_string(bytes) + "-" +
                             std::filesystem::path(file).filename().string();
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
}

struct FileCase {
    std::string name;
    std::string path;
    int width = 0; // 0: no picture
    int height = 0;
};

class ImageFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ImageFile, GivesThePictureOrNothingAndNeverPrints) {
    ::testing::internal::CaptureStderr();
    const auto picture = readImageFile(GetParam().path);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    if (GetParam().width == 0) {
        EXPECT_FALSE(picture);
        return;
    }
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->isValid());
    EXPECT_EQ(picture->width, GetParam().width);
    EXPECT_EQ(picture->height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageFile,
    ::testing::Values(FileCase{"png", dataPath("handpose/handsrc.png"), 640, 480},
                      FileCase{"jpeg", dataPath("handpose/fruits.jpg"), 512, 480},
                      FileCase{"missing", dataPath("handpose/no-such-picture.png")},
                      FileCase{"notAPicture", dataPath("handpose/README.md")},
                      FileCase{"cutPng", cutCopy("handpose/handsrc.png", 20000)},
                      FileCase{"cutJpegHeader", cutCopy("handpose/fruits.jpg", 300)},
                      FileCase{"cutJpegData", cutCopy("handpose/fruits.jpg", 20000), 512, 480}),
    [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::platform
