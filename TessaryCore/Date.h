#pragma once

// A point in time as the documents reason about it: seconds since 2001-01-01 00:00:00 UTC in a
// double. Stored times are whole milliseconds and are written as ISO-8601 text with exactly three
// decimals in UTC (2025-03-14T09:26:53.589Z), so that a stamp reads back unchanged.

#include <compare>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/JSONCoding.h"

namespace tessary {

class Date {
public:
    // Seconds between 1970-01-01 and 2001-01-01, both UTC.
    static constexpr double unixEpochOffset = 978307200.0;

    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReferenceDate) : seconds_(secondsSinceReferenceDate) {}

    static Date fromUnixTime(double secondsSince1970) { return Date(secondsSince1970 - unixEpochOffset); }
    // The wall clock. Services take time from their scheduler; this is for the model's own stamps.
    static Date now();
    // 0001-01-01 00:00:00 UTC: earlier than any time the system stamps.
    static constexpr Date distantPast() { return Date(-63114076800.0); }

    constexpr double secondsSinceReferenceDate() const { return seconds_; }
    double unixTime() const { return seconds_ + unixEpochOffset; }

    Date addingSeconds(double seconds) const { return Date(seconds_ + seconds); }

    // round(t x 1000) / 1000, halves away from zero; a non-finite time stays as it is.
    Date roundedToMilliseconds() const;
    bool isWholeMilliseconds() const { return roundedToMilliseconds().seconds_ == seconds_; }

    // "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC, the time rounded to the nearest millisecond (seconds taken
    // with floor, so a time before 2001 keeps a positive fraction). Nothing for a time that is not
    // finite or lies outside the years 0001 to 9999: such a text would not read back.
    std::optional<std::string> iso8601() const;
    // The inverse: "YYYY-MM-DDTHH:MM:SSZ", optionally with ".mmm" (exactly three digits) before the
    // "Z"; without a fraction the zone may also be an offset "+HH:MM" / "-HH:MM". Nothing otherwise.
    static std::optional<Date> parsingISO8601(std::string_view text);

    // The document form. Encoding throws json::EncodingError where iso8601() gives nothing;
    // decoding throws json::DecodingError "Bad date: " followed by the text.
    json::Json toJSON() const;
    static Date fromJSON(const json::Json& value);

    // Exact comparison of the seconds (dates are compared exactly everywhere).
    friend constexpr bool operator==(Date a, Date b) { return a.seconds_ == b.seconds_; }
    friend constexpr std::partial_ordering operator<=>(Date a, Date b) { return a.seconds_ <=> b.seconds_; }

private:
    double seconds_ = 0;
};

// The shared rounding of a stored time to whole milliseconds.
inline Date roundedToMilliseconds(Date date) { return date.roundedToMilliseconds(); }

std::ostream& operator<<(std::ostream& os, Date date);

}  // namespace tessary

template <>
struct std::hash<tessary::Date> {
    std::size_t operator()(tessary::Date date) const noexcept;
};
