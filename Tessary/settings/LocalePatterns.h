#pragma once

// A locale's date and percent formats as ICU gives them (its patterns, month names, day-period
// markers and digits), written out here without ICU. Making ICU's own formatters reads megabytes of
// its data and code into the process (calendar, time-zone, currency and plural data), and those
// pages stay with it; the few texts the settings show need a few hundred bytes of it. The build
// takes the records from ICU (LocaleFormatTable), keeping only locales whose texts these functions
// write exactly as ICU does.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

// A time as a wall clock shows it: month 1 to 12.
struct CivilTime {
    int year = 0, month = 1, day = 1, hour = 0, minute = 0;
};

struct LocalePatterns {
    // ICU's date patterns: long date; medium date; medium date with short time.
    std::string_view longDate, mediumDate, mediumDateShortTime;
    std::array<std::string_view, 12> months, shortMonths;
    std::string_view am, pm;
    std::array<std::string_view, 10> digits;
    // Around a percentage's digits, the percent sign included.
    std::string_view percentPrefix, percentSuffix;

    // The fields above in their order, each followed by the separator; nothing for a record with
    // another count of fields.
    static constexpr char separator = '\x1f';
    static std::optional<LocalePatterns> reading(std::string_view record);
    std::string record() const;
};

// The time in ICU's date pattern syntax (quoted text, y, M, d, h, H, m and a); nothing for a
// pattern with any other field, or a year outside 1 to 9999.
std::optional<std::string> formatDatePattern(const LocalePatterns& locale, std::string_view pattern,
                                             const CivilTime& time);

// The fraction as a whole percentage, rounded as ICU rounds: half to even, on the shortest decimal
// that reads back as the double. Nothing for a negative or non-finite fraction, or 1000% and up
// (where grouping would start).
std::optional<std::string> formatPercent(const LocalePatterns& locale, double fraction);

}  // namespace tessary
