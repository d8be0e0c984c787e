#include "platform/image/ImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace vantor::platform {
namespace {

std::string dataPath(const std::string& file) { return std::string(VANTOR_TEST_DATA_DIR) + "/" + file; }

// A copy of a data file that breaks off after `bytes`, as a download can;
// it is removed when the copy goes.
struct CutCopy {
    CutCopy(const std::string& file, std::size_t bytes)
        : path(std::filesystem::temp_directory_path() /
               ("vantor-cut-" + std::to_string(::getpid()) + "-" + std::filesystem::path(file).filename().string())) {
        std::ifstream in(dataPath(file), std::ios::binary);
        std::vector<char> content(std::istreambuf_iterator<char>(in), {});
        content.resize(std::min(bytes, content.size()));
        std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    ~CutCopy() { std::filesystem::remove(path); }
    const std::filesystem::path path;
};

struct FileCase {
    std::string name;
    std::string file;
    std::size_t cutAfter = 0; // bytes kept; 0: the whole file
    int width = 0;            // 0: no picture
    int height = 0;
};
void PrintTo(const FileCase& row, std::ostream* out) { *out << row.name; }

class ImageFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ImageFile, GivesThePictureOrNothingAndNeverPrints) {
    const FileCase& row = GetParam();
    std::optional<CutCopy> cut;
    if (row.cutAfter > 0) cut.emplace(row.file, row.cutAfter);
    ::testing::internal::CaptureStderr();
    const auto picture = readImageFile(cut ? cut->path.string() : dataPath(row.file));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    if (row.width == 0) {
        EXPECT_FALSE(picture);
        return;
    }
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->isValid());
    EXPECT_EQ(picture->width, row.width);
    EXPECT_EQ(picture->height, row.height);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageFile,
    // Whole pictures are read by the hand-pose tests.
    ::testing::Values(FileCase{"missing", "handpose/no-such-picture.png"},
                      FileCase{"notAPicture", "handpose/README.md"},
                      FileCase{"cutPng", "handpose/handsrc.png", 20000},
                      FileCase{"cutJpegHeader", "handpose/fruits.jpg", 300},
                      FileCase{"cutJpegData", "handpose/fruits.jpg", 20000, 512, 480}),
    [](const auto& row) { return row.param.name; });

} // namespace
} // namespace vantor::platform
