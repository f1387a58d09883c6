// Preset files of any content, answered Yes and No at random: no crash, no
// empty name or value, and every name a piece of the text.
#include <cstdint>
#include <string>

#include "presets/PresetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t answers = data[0];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t asked = 0;
    const auto fields = lanscope::ReadPresets(
        text, [&](std::size_t, std::string_view) { return ((answers >> (asked++ % 8)) & 1) != 0; });
    for (const lanscope::tagField& field : fields) {
        if (field.strName.empty() || field.strValue.empty() ||
            text.find(field.strName) == std::string::npos ||
            text.find(field.strValue) == std::string::npos) {
            __builtin_trap();
        }
    }
    return 0;
}
