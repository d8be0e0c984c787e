#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vantor::camera {

// One camera picture: 8-bit BGR pixels, rows top to bottom, each row
// width * 3 bytes with no padding. The pixels are shared, not copied, when
// a frame is handed from one stage to the next.
struct VideoFrame {
    int width = 0;
    int height = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> bgr;

    bool isValid() const {
        return width > 0 && height > 0 && bgr &&
               bgr->size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3u;
    }
};

} // namespace vantor::camera
