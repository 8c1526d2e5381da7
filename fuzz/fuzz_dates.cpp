#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "TessaryCore/Date.h"

// Any text that reads as a date writes back and reads back to the same date; any double either
// writes as a date that reads back rounded to the millisecond or is refused.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tessary::Date;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto date = Date::parsingISO8601(text)) {
        const auto written = date->iso8601();
        if (!written || Date::parsingISO8601(*written) != date) std::abort();
    }
    if (size >= sizeof(double)) {
        double seconds = 0;
        std::memcpy(&seconds, data, sizeof seconds);
        const Date date(seconds);
        if (const auto written = date.iso8601()) {
            if (Date::parsingISO8601(*written) != date.roundedToMilliseconds()) std::abort();
        }
    }
    return 0;
}
