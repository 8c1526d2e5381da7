#include "Tessary/settings/DateText.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <ctime>
#include <memory>

#include "Tessary/settings/LocaleFormatTable.h"

namespace tessary {

namespace {

// The text from the program's own table where it holds the locale, the styles and the zone (UTC or
// the system's local time); nothing otherwise.
std::optional<std::string> textFromTable(Date date, DateTextStyle dateStyle, DateTextStyle timeStyle,
                                         std::string_view locale, std::string_view timeZone) {
    const double seconds = std::floor(date.unixTime());
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e15) return std::nullopt;
    if (!timeZone.empty() && timeZone != "UTC") return std::nullopt;
    const auto patterns = localePatterns(icuLocaleName(locale));
    if (!patterns) return std::nullopt;
    std::string_view pattern;
    if (dateStyle == DateTextStyle::longStyle && timeStyle == DateTextStyle::none) pattern = patterns->longDate;
    else if (dateStyle == DateTextStyle::medium && timeStyle == DateTextStyle::none) pattern = patterns->mediumDate;
    else if (dateStyle == DateTextStyle::medium && timeStyle == DateTextStyle::shortStyle) pattern = patterns->mediumDateShortTime;
    else return std::nullopt;
    const auto when = static_cast<std::time_t>(seconds);
    std::tm fields{};
    if (!(timeZone.empty() ? ::localtime_r(&when, &fields) : ::gmtime_r(&when, &fields))) return std::nullopt;
    // Before the Gregorian calendar's start ICU counts Julian days.
    if (fields.tm_year + 1900 < 1600) return std::nullopt;
    return formatDatePattern(*patterns, pattern,
                             {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min});
}

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
    if (auto text = textFromTable(date, dateStyle, timeStyle, locale, timeZone)) return *std::move(text);
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
