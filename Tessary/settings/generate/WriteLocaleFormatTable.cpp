// Writes the table LocaleFormatTable reads: for every locale ICU knows, its date and percent formats
// (LocalePatterns), kept only where LocalePatterns writes ICU's own text for a set of sample times
// and fractions. Run by the build; the one argument is the file to write.

#include <unicode/calendar.h>
#include <unicode/decimfmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/numsys.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/uvernum.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Tessary/settings/LocalePatterns.h"

using namespace tessary;

namespace {

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// ICU's formatter for a style pair, in UTC.
std::unique_ptr<icu::SimpleDateFormat> dateFormat(icu::DateFormat::EStyle date, icu::DateFormat::EStyle time,
                                                  const icu::Locale& locale) {
    std::unique_ptr<icu::DateFormat> made(icu::DateFormat::createDateTimeInstance(date, time, locale));
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(made.get());
    if (!simple) return nullptr;
    made.release();
    simple->adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
    return std::unique_ptr<icu::SimpleDateFormat>(simple);
}

// The locale's record, or nothing where it cannot be written exactly without ICU.
std::optional<std::string> record(const icu::Locale& locale, std::deque<std::string>& strings) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(locale, status));
    if (U_FAILURE(status) || std::string(calendar->getType()) != "gregorian") return std::nullopt;
    std::unique_ptr<icu::NumberingSystem> numbers(icu::NumberingSystem::createInstance(locale, status));
    if (U_FAILURE(status) || numbers->isAlgorithmic() || numbers->getRadix() != 10) return std::nullopt;
    const icu::DateFormatSymbols symbols(locale, status);
    std::unique_ptr<icu::NumberFormat> percent(icu::NumberFormat::createPercentInstance(locale, status));
    auto* decimal = dynamic_cast<icu::DecimalFormat*>(percent.get());
    if (U_FAILURE(status) || !decimal) return std::nullopt;
    const std::unique_ptr<icu::SimpleDateFormat> formats[] = {
        dateFormat(icu::DateFormat::kLong, icu::DateFormat::kNone, locale),
        dateFormat(icu::DateFormat::kMedium, icu::DateFormat::kNone, locale),
        dateFormat(icu::DateFormat::kMedium, icu::DateFormat::kShort, locale)};
    for (const auto& format : formats) {
        if (!format) return std::nullopt;
    }

    // Every field's text, kept in place (a deque never moves its elements) while the views point into it.
    strings.clear();
    auto keep = [&](const icu::UnicodeString& text) -> std::string_view { return strings.emplace_back(utf8(text)); };
    LocalePatterns patterns;
    std::string_view* patternFields[] = {&patterns.longDate, &patterns.mediumDate, &patterns.mediumDateShortTime};
    for (int i = 0; i < 3; ++i) {
        icu::UnicodeString pattern;
        formats[i]->toPattern(pattern);
        *patternFields[i] = keep(pattern);
    }
    int32_t count = 0;
    const icu::UnicodeString* months =
        symbols.getMonths(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    if (count != 12) return std::nullopt;
    for (int i = 0; i < 12; ++i) patterns.months[static_cast<std::size_t>(i)] = keep(months[i]);
    months = symbols.getMonths(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::ABBREVIATED);
    if (count != 12) return std::nullopt;
    for (int i = 0; i < 12; ++i) patterns.shortMonths[static_cast<std::size_t>(i)] = keep(months[i]);
    const icu::UnicodeString* markers = symbols.getAmPmStrings(count);
    if (count != 2) return std::nullopt;
    patterns.am = keep(markers[0]);
    patterns.pm = keep(markers[1]);
    const icu::UnicodeString digits = numbers->getDescription();
    if (digits.countChar32() != 10) return std::nullopt;
    for (int32_t i = 0, at = 0; i < 10; ++i) {
        const int32_t next = digits.moveIndex32(at, 1);
        patterns.digits[static_cast<std::size_t>(i)] = keep(digits.tempSubStringBetween(at, next));
        at = next;
    }
    icu::UnicodeString affix;
    patterns.percentPrefix = keep(decimal->getPositivePrefix(affix));
    patterns.percentSuffix = keep(decimal->getPositiveSuffix(affix));
    for (std::string_view field : strings) {
        if (field.find(LocalePatterns::separator) != std::string_view::npos) return std::nullopt;
    }

    // Kept only where every sample comes out as ICU writes it.
    const std::string_view* samplePatterns[] = {&patterns.longDate, &patterns.mediumDate, &patterns.mediumDateShortTime};
    for (int year : {1999, 2005, 2025}) {
        for (int month = 1; month <= 12; ++month) {
            for (auto [day, hour, minute] : {std::tuple{1, 0, 5}, std::tuple{9, 12, 0}, std::tuple{28, 23, 59},
                                             std::tuple{17, 9, 30}}) {
                UErrorCode calendarStatus = U_ZERO_ERROR;
                icu::GregorianCalendar utc(icu::TimeZone::createTimeZone("UTC"), calendarStatus);
                utc.set(year, month - 1, day, hour, minute, 0);
                const UDate when = utc.getTime(calendarStatus);
                if (U_FAILURE(calendarStatus)) return std::nullopt;
                for (int i = 0; i < 3; ++i) {
                    icu::UnicodeString expected;
                    formats[i]->format(when, expected);
                    const auto ours = formatDatePattern(patterns, *samplePatterns[i], {year, month, day, hour, minute});
                    if (!ours || *ours != utf8(expected)) return std::nullopt;
                }
            }
        }
    }
    percent->setMaximumFractionDigits(0);
    for (double fraction : {0.0, 0.05, 0.1, 0.125, 0.135, 0.333, 0.5, 0.995, 1.0, 2.5}) {
        icu::UnicodeString expected;
        percent->format(fraction, expected);
        const auto ours = formatPercent(patterns, fraction);
        if (!ours || *ours != utf8(expected)) return std::nullopt;
    }
    return patterns.record();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    // The names ICU's default locale takes: every available locale, and the C locale's.
    std::set<std::string> names{"en_US_POSIX"};
    int32_t count = 0;
    const icu::Locale* available = icu::Locale::getAvailableLocales(count);
    for (int32_t i = 0; i < count; ++i) names.insert(available[i].getName());

    std::map<std::string, std::size_t> recordAt;
    std::string records;
    std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> entries;
    std::size_t longestName = 0;
    std::deque<std::string> strings;
    for (const std::string& name : names) {
        const auto text = record(icu::Locale(name.c_str()), strings);
        if (!text) continue;
        // Locales that write alike share one record.
        auto [at, added] = recordAt.try_emplace(*text, records.size());
        if (added) records += *text;
        entries.push_back({name, {at->second, text->size()}});
        longestName = std::max(longestName, name.size());
    }

    if (entries.empty()) {
        std::fprintf(stderr, "%s: no locale's formats come out as ICU writes them\n", argv[0]);
        return 1;
    }
    std::ofstream out(argv[1]);
    out << "// Written by the build (WriteLocaleFormatTable) from ICU " U_ICU_VERSION ": "
        << entries.size() << " of " << names.size() << " locales.\n"
        << "constexpr std::size_t localeNameSize = " << longestName + 1 << ";\n"
        << "struct LocaleEntry {\n    char name[localeNameSize];\n    std::uint32_t record, length;\n};\n"
        << "constexpr LocaleEntry localeEntries[] = {\n";
    for (const auto& [name, where] : entries) out << "    {\"" << name << "\", " << where.first << ", " << where.second << "},\n";
    out << "};\nconstexpr unsigned char localeRecords[] = {";
    for (std::size_t i = 0; i < records.size(); ++i) {
        out << (i % 24 == 0 ? "\n    " : " ") << static_cast<unsigned>(static_cast<unsigned char>(records[i])) << ",";
    }
    out << "\n};\n";
    return out.good() ? 0 : 1;
}
