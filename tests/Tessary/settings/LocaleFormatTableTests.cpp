// The program's own table writes the settings' dates and percentages exactly as ICU's formatters
// do, in every locale it holds; the locales it leaves out still get ICU's texts.

#include <gtest/gtest.h>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/timezone.h>

#include <memory>
#include <string>
#include <vector>

#include "Tessary/settings/DateText.h"
#include "Tessary/settings/LocaleFormatTable.h"
#include "Tessary/settings/ZonesPaneModel.h"

namespace tessary {
namespace {

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::unique_ptr<icu::DateFormat> icuDateFormat(icu::DateFormat::EStyle dateStyle, icu::DateFormat::EStyle timeStyle,
                                               const icu::Locale& locale) {
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(dateStyle, timeStyle, locale));
    format->adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
    return format;
}

std::string icuDate(const icu::DateFormat& format, Date date) {
    icu::UnicodeString text;
    format.format(date.unixTime() * 1000.0, text);
    return utf8(text);
}

std::string icuPercent(const icu::NumberFormat& format, double fraction) {
    icu::UnicodeString text;
    format.format(fraction, text);
    return utf8(text);
}

std::vector<std::string> icuLocales() {
    std::vector<std::string> names{"en_US_POSIX"};
    int32_t count = 0;
    const icu::Locale* available = icu::Locale::getAvailableLocales(count);
    for (int32_t i = 0; i < count; ++i) names.emplace_back(available[i].getName());
    return names;
}

// Times that reach every month, both halves of the day, single- and two-digit days, hours and
// minutes, and years from the Gregorian calendar's first centuries to 9999.
std::vector<Date> sampleDates() {
    std::vector<Date> dates;
    for (const char* text : {"1600-01-01T00:00:00Z", "1999-12-31T23:59:00Z", "2000-02-29T12:00:00Z",
                             "2025-03-04T14:05:00Z", "2009-10-09T09:09:59Z", "9999-12-31T11:59:00Z"}) {
        dates.push_back(*Date::parsingISO8601(text));
    }
    const Date start = *Date::parsingISO8601("2001-01-01T00:00:00Z");
    for (int i = 0; i < 40; ++i) dates.push_back(start.addingSeconds(i * 7'919'993.0));
    return dates;
}

TEST(LocaleFormatTable, DatesComeOutAsICUWritesThemInEveryLocale) {
    const std::vector<Date> dates = sampleDates();
    struct Style {
        const char* name;
        DateTextStyle date, time;
        icu::DateFormat::EStyle icuDate, icuTime;
    };
    const Style styles[] = {
        {"long date", DateTextStyle::longStyle, DateTextStyle::none, icu::DateFormat::kLong, icu::DateFormat::kNone},
        {"medium date", DateTextStyle::medium, DateTextStyle::none, icu::DateFormat::kMedium, icu::DateFormat::kNone},
        {"medium date, short time", DateTextStyle::medium, DateTextStyle::shortStyle, icu::DateFormat::kMedium,
         icu::DateFormat::kShort},
    };
    std::size_t inTable = 0, names = 0;
    for (const std::string& name : icuLocales()) {
        ++names;
        if (localePatterns(name)) ++inTable;
        const icu::Locale locale(name.c_str());
        for (const Style& style : styles) {
            const auto format = icuDateFormat(style.icuDate, style.icuTime, locale);
            for (const Date date : dates) {
                ASSERT_EQ(dateText(date, style.date, style.time, name, "UTC"), icuDate(*format, date))
                    << name << ", " << style.name << ", " << date.iso8601().value_or("?");
            }
        }
    }
    // The table is what spares ICU's data: most locales are in it.
    EXPECT_GT(inTable, names * 9 / 10);
    EXPECT_TRUE(localePatterns("en_US_POSIX")) << "the C locale's";
    EXPECT_FALSE(localePatterns("th_TH")) << "the Buddhist calendar is left to ICU";
    EXPECT_FALSE(localePatterns("de_DE@calendar=buddhist"));
}

TEST(LocaleFormatTable, PercentagesComeOutAsICUWritesThemInEveryLocale) {
    std::vector<double> fractions;
    for (int i = 0; i <= 1000; ++i) fractions.push_back(i / 1000.0);
    // Halves, where ICU rounds the decimal the double shows to even.
    for (double halfway : {0.005, 0.015, 0.125, 0.135, 0.285, 0.335, 0.345, 0.995, 1.005, 2.5, 9.995, 9.9949}) {
        fractions.push_back(halfway);
    }
    fractions.push_back(0.1 + 0.2);
    fractions.push_back(1e-9);
    fractions.push_back(12.5);
    fractions.push_back(-0.25);
    for (const std::string& name : icuLocales()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createPercentInstance(icu::Locale(name.c_str()), status));
        ASSERT_TRUE(U_SUCCESS(status)) << name;
        format->setMaximumFractionDigits(0);
        for (double fraction : fractions) {
            ASSERT_EQ(percentText(fraction, name), icuPercent(*format, fraction)) << name << " " << fraction;
        }
    }
}

}  // namespace
}  // namespace tessary

namespace tessary {
namespace {

TEST(LocaleFormatTable, LocaleNamesAreICUsWithoutMakingICUsLocale) {
    // A plain name is kept by ICU as it is: every name ICU lists, and a few it does not.
    std::vector<std::string> names = icuLocales();
    for (const char* other : {"en_SE", "de_CH", "sr_Cyrl_XK", "es_419", "fr_FR"}) names.emplace_back(other);
    std::size_t plain = 0;
    for (const std::string& name : names) {
        if (!isPlainLocaleName(name)) continue;
        ++plain;
        EXPECT_EQ(icuLocaleName(name), icu::Locale(name.c_str()).getName());
    }
    EXPECT_GT(plain, names.size() * 9 / 10);
    struct Row {
        const char* name;
        bool plain;
    };
    const Row rows[] = {{"de", true},          {"ckb_IQ", true},   {"zh_Hant_TW", true}, {"es_419", true},
                        {"en_US_POSIX", true}, {"", false},        {"C", false},         {"de_DE.UTF-8", false},
                        {"de_DE@euro", false}, {"DE_de", false},   {"de_de", false},     {"de__POSIX", false},
                        {"de_DE_", false},     {"de_Latn_DE_X", false}, {"e_DE", false}, {"deut_DE", false}};
    for (const Row& row : rows) EXPECT_EQ(isPlainLocaleName(row.name), row.plain) << row.name;
    // This process's default, read from its environment as ICU reads it.
    if (const auto ours = plainDefaultLocaleName()) {
        EXPECT_EQ(*ours, icu::Locale::getDefault().getName());
    }
    EXPECT_EQ(icuLocaleName(""), icu::Locale::getDefault().getName());
}

}  // namespace
}  // namespace tessary
