#include "Tessary/settings/LocaleFormatTable.h"

#include <unicode/locid.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace tessary {

namespace {

#include "Tessary/settings/LocaleFormatTable.inc"

}  // namespace

std::optional<LocalePatterns> localePatterns(std::string_view icuName) {
    if (icuName.empty() || icuName.size() >= localeNameSize) return std::nullopt;
    const auto* end = std::end(localeEntries);
    const auto* found = std::lower_bound(std::begin(localeEntries), end, icuName,
                                         [](const LocaleEntry& entry, std::string_view name) { return std::string_view(entry.name) < name; });
    if (found == end || std::string_view(found->name) != icuName) return std::nullopt;
    return LocalePatterns::reading(
        std::string_view(reinterpret_cast<const char*>(localeRecords) + found->record, found->length));
}

std::string icuLocaleName(std::string_view locale) {
    // Naming a locale reads none of ICU's data, unlike making a formatter for it.
    if (locale.empty()) return icu::Locale::getDefault().getName();
    return icu::Locale(std::string(locale).c_str()).getName();
}

}  // namespace tessary
