// Any release-notes text parses without crashing into notes whose texts are valid UTF-8 (the views
// show them as they are), and parsing is deterministic.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Tessary/integrations/ReleaseNote.h"
#include "TessaryCore/UnicodeText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto notes = tessary::ReleaseNote::parse(text);
    for (const auto& note : notes) {
        if (!tessary::isValidUTF8(note.version)) __builtin_trap();
        for (const auto& section : note.sections) {
            if (!tessary::isValidUTF8(section.title)) __builtin_trap();
            for (const auto& item : section.items) {
                if (!tessary::isValidUTF8(item)) __builtin_trap();
            }
        }
    }
    if (tessary::ReleaseNote::parse(text) != notes) __builtin_trap();
    return 0;
}
