#include "Tessary/settings/LocalePatterns.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace tessary {

namespace {

// The record's fields in their order, for reading (LocalePatterns) and writing (const).
template <typename Patterns>
auto fields(Patterns& p) {
    std::vector<decltype(&p.longDate)> out{&p.longDate, &p.mediumDate, &p.mediumDateShortTime};
    for (auto& month : p.months) out.push_back(&month);
    for (auto& month : p.shortMonths) out.push_back(&month);
    out.push_back(&p.am);
    out.push_back(&p.pm);
    for (auto& digit : p.digits) out.push_back(&digit);
    out.push_back(&p.percentPrefix);
    out.push_back(&p.percentSuffix);
    return out;
}

void appendNumber(std::string& out, const LocalePatterns& locale, long value, int minimumDigits) {
    const std::string plain = std::to_string(value);
    for (std::size_t i = plain.size(); i < static_cast<std::size_t>(minimumDigits); ++i) out += locale.digits[0];
    for (char c : plain) out += locale.digits[static_cast<std::size_t>(c - '0')];
}

bool isPatternLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::optional<LocalePatterns> LocalePatterns::reading(std::string_view record) {
    LocalePatterns patterns;
    for (std::string_view* field : fields(patterns)) {
        const std::size_t end = record.find(separator);
        if (end == std::string_view::npos) return std::nullopt;
        *field = record.substr(0, end);
        record.remove_prefix(end + 1);
    }
    if (!record.empty()) return std::nullopt;
    return patterns;
}

std::string LocalePatterns::record() const {
    std::string out;
    for (const std::string_view* field : fields(*this)) {
        out += *field;
        out += separator;
    }
    return out;
}

std::optional<std::string> formatDatePattern(const LocalePatterns& locale, std::string_view pattern,
                                             const CivilTime& time) {
    if (time.year < 1 || time.year > 9999 || time.month < 1 || time.month > 12) return std::nullopt;
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            // Two quotes are one, inside quoted text or outside it.
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                out += '\'';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
            continue;
        }
        if (quoted || !isPatternLetter(c)) {
            out += c;
            ++i;
            continue;
        }
        std::size_t count = 1;
        while (i + count < pattern.size() && pattern[i + count] == c) ++count;
        i += count;
        const int width = static_cast<int>(count);
        switch (c) {
        case 'y':
            if (count == 2) appendNumber(out, locale, time.year % 100, 2);
            else appendNumber(out, locale, time.year, width);
            break;
        case 'M':
            if (count <= 2) appendNumber(out, locale, time.month, width);
            else if (count == 3) out += locale.shortMonths[static_cast<std::size_t>(time.month - 1)];
            else if (count == 4) out += locale.months[static_cast<std::size_t>(time.month - 1)];
            else return std::nullopt;
            break;
        case 'd':
        case 'h':
        case 'H':
        case 'm': {
            if (count > 2) return std::nullopt;
            const int value = c == 'd' ? time.day : c == 'm' ? time.minute : c == 'H' ? time.hour
                              : time.hour % 12 == 0 ? 12 : time.hour % 12;
            appendNumber(out, locale, value, width);
            break;
        }
        case 'a':
            if (count > 3) return std::nullopt;
            out += time.hour < 12 ? locale.am : locale.pm;
            break;
        default: return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> formatPercent(const LocalePatterns& locale, double fraction) {
    if (!std::isfinite(fraction) || std::signbit(fraction)) return std::nullopt;
    // The shortest decimal that reads back as the double, d.ddd e X: ICU rounds that, not the binary value.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, fraction, std::chars_format::scientific);
    if (written.ec != std::errc()) return std::nullopt;
    const std::string_view scientific(text, static_cast<std::size_t>(written.ptr - text));
    const std::size_t e = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c != '.') digits += c;
    }
    int exponent = 0;
    std::string_view power = scientific.substr(e + 1);
    if (power.front() == '+') power.remove_prefix(1);
    std::from_chars(power.data(), power.data() + power.size(), exponent);
    // The percentage is digits x 10^shift.
    const int shift = exponent + 2 - static_cast<int>(digits.size() - 1);
    if (static_cast<int>(digits.size()) + shift > 3) return std::nullopt;
    long whole = 0;
    const int wholeDigits = static_cast<int>(digits.size()) + std::min(shift, 0);
    for (int i = 0; i < wholeDigits; ++i) whole = whole * 10 + (digits[static_cast<std::size_t>(i)] - '0');
    for (int i = 0; i < shift; ++i) whole *= 10;
    if (shift < 0 && wholeDigits >= 0) {
        const std::string_view rest = std::string_view(digits).substr(static_cast<std::size_t>(wholeDigits));
        const char first = rest.front();
        const bool beyondHalf = rest.find_first_not_of('0', 1) != std::string_view::npos;
        if (first > '5' || (first == '5' && (beyondHalf || whole % 2 == 1))) ++whole;
    }
    if (whole >= 1000) return std::nullopt;
    std::string out(locale.percentPrefix);
    appendNumber(out, locale, whole, 1);
    out += locale.percentSuffix;
    return out;
}

}  // namespace tessary
