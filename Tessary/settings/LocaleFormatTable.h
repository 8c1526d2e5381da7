#pragma once

// The date and percent formats of the locales ICU knows, taken from ICU by the build
// (generate/WriteLocaleFormatTable): looking one up reads a few kilobytes of the program instead
// of ICU's data. The table holds a locale only where LocalePatterns writes ICU's own texts; others
// (calendars other than the Gregorian, digits without a plain set of ten, fields LocalePatterns does
// not write, names with keywords) are left to ICU.

#include <optional>
#include <string>
#include <string_view>

#include "Tessary/settings/LocalePatterns.h"

namespace tessary {

// The formats of the locale as ICU names it ("de_DE", "en_US_POSIX"); nothing outside the table.
std::optional<LocalePatterns> localePatterns(std::string_view icuName);

// The name of ICU's locale for the given name, or of ICU's default locale for an empty one. A
// plain name is its own: making ICU's Locale maps most of its library's code (700 kB) for good.
std::string icuLocaleName(std::string_view locale);

// language[_Script][_REGION] ("de", "sr_Latn_RS", "es_419") or en_US_POSIX: names ICU keeps as
// they are.
bool isPlainLocaleName(std::string_view name);

// ICU's default locale's name as ICU derives it from the process's locale and environment, where
// that is a plain name; nothing otherwise (ICU is asked then).
std::optional<std::string> plainDefaultLocaleName();

}  // namespace tessary
