#include "platform/image/ImageFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace vantor::platform {

namespace {

using Pixels = std::vector<std::uint8_t>;

// A damaged or hostile header can claim any size, and a progressive JPEG's
// decoder sets memory aside for the whole picture before the first row, so
// the size is checked right after the header: no camera frame or photo we
// read comes near 50 megapixels (150 MB as BGR).
constexpr std::uint64_t kMaxPixels = 50'000'000;
// libjpeg's own memory besides the rows it hands out: a progressive picture
// of kMaxPixels keeps up to 6 bytes of coefficients per pixel. Beyond this
// it gives up (it has no backing store) instead of taking more.
constexpr long kMaxJpegMemory = 320L << 20;

std::string tooLarge(std::uint64_t width, std::uint64_t height) {
    return "larger than 50 megapixels (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}
bool withinLimit(std::uint64_t width, std::uint64_t height) { return width * height <= kMaxPixels; }

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::optional<camera::VideoFrame> frameOf(int width, int height, Pixels pixels) {
    camera::VideoFrame frame{width, height, std::make_shared<const Pixels>(std::move(pixels))};
    if (!frame.isValid()) return std::nullopt;
    return frame;
}

std::optional<camera::VideoFrame> readPng(std::FILE* file, std::string& reason) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&image, file)) return std::nullopt;
    image.format = PNG_FORMAT_BGR;
    if (!withinLimit(image.width, image.height)) {
        reason = tooLarge(image.width, image.height);
        png_image_free(&image);
        return std::nullopt;
    }
    // Zeros: an alpha channel is composited onto the buffer, so onto black.
    Pixels pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return frameOf(static_cast<int>(image.width), static_cast<int>(image.height), std::move(pixels));
}

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back to decodeJpeg, which then gives up.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf failed;
};

[[noreturn]] void jumpOut(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->failed, 1); }
void stayQuiet(j_common_ptr) {}

// No C++ object with a destructor may live in this frame: the jump skips
// destructors. The caller owns the decompressor and the pixels.
enum class JpegResult { Decoded, Damaged, TooLarge };
JpegResult decodeJpeg(jpeg_decompress_struct& info, JpegErrors& errors, std::FILE* file, Pixels& pixels) {
    if (setjmp(errors.failed)) return JpegResult::Damaged;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxJpegMemory;
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    if (!withinLimit(info.image_width, info.image_height)) return JpegResult::TooLarge;
    // libjpeg-turbo converts grayscale, YCbCr and RGB into BGR by itself.
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const std::size_t rowBytes = static_cast<std::size_t>(info.output_width) * 3u;
    pixels.resize(rowBytes * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + rowBytes * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return JpegResult::Decoded;
}

std::optional<camera::VideoFrame> readJpeg(std::FILE* file, std::string& reason) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOut;
    errors.manager.output_message = stayQuiet;
    Pixels pixels;
    const JpegResult result = decodeJpeg(info, errors, file, pixels);
    const auto width = static_cast<int>(info.output_width);
    const auto height = static_cast<int>(info.output_height);
    if (result == JpegResult::TooLarge) reason = tooLarge(info.image_width, info.image_height);
    jpeg_destroy_decompress(&info);
    if (result != JpegResult::Decoded) return std::nullopt;
    return frameOf(width, height, std::move(pixels));
}

} // namespace

std::optional<camera::VideoFrame> readImageFile(const std::string& path, std::string* whyNot) {
    std::string reason;
    const auto picture = [&]() -> std::optional<camera::VideoFrame> {
        const File file(std::fopen(path.c_str(), "rb"));
        if (!file) {
            reason = std::strerror(errno);
            return std::nullopt;
        }
        unsigned char signature[8] = {};
        const std::size_t got = std::fread(signature, 1, sizeof signature, file.get());
        std::rewind(file.get());
        if (got == sizeof signature && png_sig_cmp(signature, 0, sizeof signature) == 0) return readPng(file.get(), reason);
        if (got >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF) {
            return readJpeg(file.get(), reason);
        }
        reason = "not a PNG or JPEG picture";
        return std::nullopt;
    }();
    if (!picture && whyNot) *whyNot = reason.empty() ? "damaged picture" : reason;
    return picture;
}

} // namespace vantor::platform
