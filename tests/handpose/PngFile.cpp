#include "PngFile.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace vantor::testing {

namespace {

// Frames are written once and read once: zlib's fastest level writes a
// photo-like frame several times faster than its default, for a file a
// fifth larger.
constexpr int kCompressionLevel = 1;

// libpng reports a fatal error by jumping back here (png_jmpbuf); no C++
// object with a destructor may live in this frame. The caller owns the
// writer and the file.
bool encode(png_structp writer, png_infop info, std::FILE* file, const cv::Mat& bgr) {
    if (setjmp(png_jmpbuf(writer))) return false;
    png_init_io(writer, file);
    png_set_compression_level(writer, kCompressionLevel);
    png_set_IHDR(writer, info, static_cast<png_uint_32>(bgr.cols), static_cast<png_uint_32>(bgr.rows), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer, info);
    png_set_bgr(writer);
    for (int row = 0; row < bgr.rows; ++row) png_write_row(writer, bgr.ptr<png_byte>(row));
    png_write_end(writer, nullptr);
    return true;
}

} // namespace

bool writePng(const std::string& path, const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = writer ? png_create_info_struct(writer) : nullptr;
    const bool written = info && encode(writer, info, file, bgr);
    png_destroy_write_struct(&writer, &info);
    return std::fclose(file) == 0 && written;
}

} // namespace vantor::testing
