#pragma once

#include "camera/VideoFrame.h"

#include <optional>
#include <string>

namespace vantor::platform {

// A PNG or JPEG file as a BGR picture, 8 bits per channel: gray is widened,
// transparent parts come out over black. std::nullopt, and nothing printed,
// when the file cannot be read, is not a PNG or JPEG picture, is damaged or
// is larger than 50 megapixels (refused from its header, before any pixel
// memory is taken); `whyNot`, if given, then says which. A JPEG cut short
// gives what it holds, the rest gray, as libjpeg decodes it.
std::optional<camera::VideoFrame> readImageFile(const std::string& path, std::string* whyNot = nullptr);

} // namespace vantor::platform
