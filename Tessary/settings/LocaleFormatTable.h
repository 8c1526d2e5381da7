#pragma once

// The date and percent formats of the locales ICU knows, taken from ICU by the build
// (generate/WriteLocaleFormatTable): looking one up reads a few kilobytes of the program instead
// of ICU's data. The table holds a locale only where LocalePatterns writes ICU's own texts; others
// (calendars other than the Gregorian, digits without a plain set of ten, fields LocalePatterns does
// not write, names with keywords) are left to ICU.

#include <optional>
#include <string_view>

#include "Tessary/settings/LocalePatterns.h"

namespace tessary {

// The formats of the locale as ICU names it ("de_DE", "en_US_POSIX"); nothing outside the table.
std::optional<LocalePatterns> localePatterns(std::string_view icuName);

// The name of ICU's locale for the given name, or of ICU's default locale for an empty one.
std::string icuLocaleName(std::string_view locale);

}  // namespace tessary
