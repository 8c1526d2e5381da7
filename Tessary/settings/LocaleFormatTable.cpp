#include "Tessary/settings/LocaleFormatTable.h"

#include <unicode/locid.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
    if (!locale.empty()) return isPlainLocaleName(locale) ? std::string(locale) : icu::Locale(std::string(locale).c_str()).getName();
    if (auto name = plainDefaultLocaleName()) return *std::move(name);
    return icu::Locale::getDefault().getName();
}

bool isPlainLocaleName(std::string_view name) {
    if (name == "en_US_POSIX") return true;
    auto letters = [](std::string_view part, std::size_t count, bool upperFirst, bool upperRest) {
        if (part.size() != count) return false;
        for (std::size_t i = 0; i < count; ++i) {
            const bool upper = i == 0 ? upperFirst : upperRest;
            if (part[i] < (upper ? 'A' : 'a') || part[i] > (upper ? 'Z' : 'z')) return false;
        }
        return true;
    };
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find('_', start);
        parts.push_back(name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (parts.size() > 3 || !(letters(parts[0], 2, false, false) || letters(parts[0], 3, false, false))) return false;
    std::size_t next = 1;
    if (next < parts.size() && letters(parts[next], 4, true, false)) ++next;
    if (next < parts.size()) {
        const std::string_view region = parts[next];
        const bool digits = region.size() == 3 && std::all_of(region.begin(), region.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!letters(region, 2, true, true) && !digits) return false;
        ++next;
    }
    return next == parts.size();
}

std::optional<std::string> plainDefaultLocaleName() {
    // ICU's rules: the messages category's locale, else (for "C" or "POSIX") the first of LC_ALL,
    // LC_MESSAGES and LANG that is set; the code set after "." dropped; "C" and "POSIX" are
    // en_US_POSIX.
    auto isC = [](std::string_view id) { return id == "C" || id == "POSIX"; };
    const char* id = std::setlocale(LC_MESSAGES, nullptr);
    if (!id || isC(id)) {
        id = nullptr;
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(variable);
            // Set but empty counts: ICU takes it as it is.
            if (value) {
                id = value;
                break;
            }
        }
    }
    if (!id) return "en_US_POSIX";
    std::string_view name(id);
    // A modifier ("@euro") becomes a variant, which ICU then canonicalises: left to ICU.
    if (name.find('@') != std::string_view::npos) return std::nullopt;
    name = name.substr(0, name.find('.'));
    if (isC(name)) return "en_US_POSIX";
    if (name.empty()) return std::nullopt;
    if (!isPlainLocaleName(name)) return std::nullopt;
    return std::string(name);
}

}  // namespace tessary
