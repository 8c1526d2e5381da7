#include "TessaryCore/Date.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ostream>

namespace tessary {

namespace {

constexpr std::int64_t secondsPerDay = 86400;
// Days from 0000-03-01 to 1970-01-01 in the proleptic Gregorian calendar, as the civil-date
// conversions below count them.
constexpr std::int64_t daysTo1970 = 719468;
// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr std::int64_t referenceUnixSeconds = 978307200;

// The civil date of a day counted from 1970-01-01 (proleptic Gregorian, exact for any int64 input
// the callers pass, which is within a few thousand years).
struct Civil {
    std::int64_t year;
    int month;
    int day;
};

Civil civilFromDays(std::int64_t days) {
    days += daysTo1970;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return Civil{yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - daysTo1970;
}

bool isLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(std::int64_t year, int month) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}

// Exactly `count` ASCII digits at `pos`, as a number.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool charAt(std::string_view text, std::size_t pos, char expected) {
    return pos < text.size() && text[pos] == expected;
}

// The internet date-time form without fractional seconds: "YYYY-MM-DDTHH:MM:SS" then "Z" or
// "+HH:MM"/"-HH:MM", nothing before or after. Whole seconds since 2001, or nothing.
std::optional<std::int64_t> parseInternetDateTime(std::string_view text) {
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2);
    const auto minute = digits(text, 14, 2);
    const auto second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (!charAt(text, 4, '-') || !charAt(text, 7, '-') || !charAt(text, 10, 'T') || !charAt(text, 13, ':') ||
        !charAt(text, 16, ':')) {
        return std::nullopt;
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    std::int64_t offsetSeconds = 0;
    const std::string_view zone = text.substr(19);
    if (zone == "Z") {
        offsetSeconds = 0;
    } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
        const auto offsetHours = digits(zone, 1, 2);
        const auto offsetMinutes = digits(zone, 4, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) return std::nullopt;
        offsetSeconds = (*offsetHours * 3600 + *offsetMinutes * 60) * (zone[0] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const std::int64_t days = daysFromCivil(*year, *month, *day);
    const std::int64_t unixSeconds = days * secondsPerDay + *hour * 3600 + *minute * 60 + *second - offsetSeconds;
    return unixSeconds - referenceUnixSeconds;
}

// The span that iso8601() can write and parsingISO8601() reads: years 0000 to 9999 (the zero year
// lets the distant past be written), with room for the millisecond rounding.
constexpr double earliestWritable = -63145526400.0;  // 0000-01-01T00:00:00Z
constexpr double latestWritable = 252423993599.999;  // 9999-12-31T23:59:59.999Z

}  // namespace

Date Date::now() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return fromUnixTime(std::chrono::duration<double>(sinceEpoch).count());
}

Date Date::roundedToMilliseconds() const {
    if (!std::isfinite(seconds_)) return *this;
    return Date(std::round(seconds_ * 1000.0) / 1000.0);
}

std::optional<std::string> Date::iso8601() const {
    if (!std::isfinite(seconds_) || seconds_ < earliestWritable - 0.0005 || seconds_ >= latestWritable + 0.0005) {
        return std::nullopt;
    }
    const auto millis = static_cast<std::int64_t>(std::round(seconds_ * 1000.0));
    // Floor division keeps the milliseconds in 0...999 before 2001 as well.
    std::int64_t wholeSeconds = millis / 1000;
    std::int64_t fraction = millis - wholeSeconds * 1000;
    if (fraction < 0) {
        wholeSeconds -= 1;
        fraction += 1000;
    }
    const std::int64_t unixSeconds = wholeSeconds + referenceUnixSeconds;
    std::int64_t days = unixSeconds / secondsPerDay;
    std::int64_t secondOfDay = unixSeconds - days * secondsPerDay;
    if (secondOfDay < 0) {
        days -= 1;
        secondOfDay += secondsPerDay;
    }
    const Civil civil = civilFromDays(days);
    if (civil.year < 0 || civil.year > 9999) return std::nullopt;
    // Written by hand: this runs for every stamp of every document saved.
    std::string text = "0000-00-00T00:00:00.000Z";
    const auto put = [&text](std::size_t at, std::int64_t value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10) text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    put(0, civil.year, 4);
    put(5, civil.month, 2);
    put(8, civil.day, 2);
    put(11, secondOfDay / 3600, 2);
    put(14, secondOfDay / 60 % 60, 2);
    put(17, secondOfDay % 60, 2);
    put(20, fraction, 3);
    return text;
}

std::optional<Date> Date::parsingISO8601(std::string_view text) {
    std::int64_t millis = 0;
    std::string withoutFraction(text);
    const auto point = text.find('.');
    const auto zulu = text.find('Z');
    if (point != std::string_view::npos && zulu != std::string_view::npos && zulu > point) {
        // Exactly three digits between the point and the "Z"; anything else is not a date.
        if (zulu - point - 1 != 3) return std::nullopt;
        const auto fraction = digits(text, point + 1, 3);
        if (!fraction) return std::nullopt;
        millis = *fraction;
        withoutFraction.erase(point, 4);
    }
    const auto wholeSeconds = parseInternetDateTime(withoutFraction);
    if (!wholeSeconds) return std::nullopt;
    return Date(static_cast<double>(*wholeSeconds * 1000 + millis) / 1000.0);
}

json::Json Date::toJSON() const {
    const auto text = iso8601();
    if (!text) {
        throw json::EncodingError("Unable to encode the date " + std::to_string(seconds_) +
                                  ": it is not a finite time between the years 0 and 9999.");
    }
    return json::Json(*text);
}

Date Date::fromJSON(const json::Json& value) {
    const std::string text = json::asString(value, "date");
    const auto date = parsingISO8601(text);
    if (!date) throw json::DecodingError("Bad date: " + text);
    return *date;
}

std::ostream& operator<<(std::ostream& os, Date date) {
    const auto text = date.iso8601();
    return os << (text ? *text : std::to_string(date.secondsSinceReferenceDate()));
}

}  // namespace tessary

std::size_t std::hash<tessary::Date>::operator()(tessary::Date date) const noexcept {
    const double seconds = date.secondsSinceReferenceDate();
    // Equal dates hash equally: 0 and -0 compare equal.
    return std::hash<double>{}(seconds == 0 ? 0.0 : seconds);
}
