#pragma once

#include <string>
#include <string_view>

#include "TessaryCore/Date.h"

namespace tessary {

// ICU's date (and time) styles of the user's locale.
enum class DateTextStyle { none, shortStyle, medium, longStyle };

// A date as the locale writes it in the given styles ("Mar 4, 2025, 2:05 PM" for medium and short
// in English). `locale` and `timeZone` as ICU names them; empty: ICU's default locale and the
// system's local time. The program's own table (LocaleFormatTable) writes the styles the settings
// use in UTC and local time; ICU's formatter writes everything else.
std::string dateText(Date date, DateTextStyle dateStyle, DateTextStyle timeStyle, std::string_view locale = {},
                     std::string_view timeZone = {});

}  // namespace tessary
