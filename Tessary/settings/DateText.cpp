#include "Tessary/settings/DateText.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

namespace tessary {

namespace {

icu::DateFormat::EStyle icuStyle(DateTextStyle style) {
    switch (style) {
    case DateTextStyle::none: return icu::DateFormat::kNone;
    case DateTextStyle::shortStyle: return icu::DateFormat::kShort;
    case DateTextStyle::medium: return icu::DateFormat::kMedium;
    case DateTextStyle::longStyle: return icu::DateFormat::kLong;
    }
    return icu::DateFormat::kNone;
}

}  // namespace

std::string dateText(Date date, DateTextStyle dateStyle, DateTextStyle timeStyle, std::string_view locale,
                     std::string_view timeZone) {
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), where));
    if (!format) return date.iso8601().value_or("").substr(0, 10);
    if (!timeZone.empty()) {
        format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(std::string(timeZone))));
    }
    icu::UnicodeString text;
    format->format(date.unixTime() * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace tessary
