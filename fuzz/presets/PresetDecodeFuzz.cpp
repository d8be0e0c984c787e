// Feeds arbitrary bytes to the preset decoder. Whatever decodes must encode
// again and decode to the same record.
#include "presets/MidiSliderPreset.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto decoded = vantor::presets::decodePresetText(text);
    if (!decoded.preset) return 0;

    const auto encoded = vantor::presets::encodePreset(*decoded.preset);
    if (!encoded.json) std::abort(); // a decoded record always has an encoding
    const auto again = vantor::presets::decodePreset(*encoded.json);
    if (!again.preset || !(*again.preset == *decoded.preset)) std::abort();
    return 0;
}
