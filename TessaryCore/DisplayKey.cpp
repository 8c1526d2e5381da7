#include "TessaryCore/DisplayKey.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace tessary {

std::int64_t roundedToInt64(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::round(value);
    constexpr double limit = 9223372036854775808.0;  // 2^63
    if (rounded >= limit) return std::numeric_limits<std::int64_t>::max();
    if (rounded < -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rounded);
}

DisplayKey::DisplayKey(std::string id, Size workAreaSize)
    : displayID(std::move(id)),
      workAreaWidth(roundedToInt64(workAreaSize.width)),
      workAreaHeight(roundedToInt64(workAreaSize.height)) {}

std::string DisplayKey::description() const {
    return displayID + "@" + std::to_string(workAreaWidth) + "x" + std::to_string(workAreaHeight);
}

namespace {

// An optional sign and one or more decimal digits, nothing else, within the 64-bit range.
std::optional<std::int64_t> parseInteger(std::string_view piece) {
    bool negative = false;
    if (!piece.empty() && (piece.front() == '+' || piece.front() == '-')) {
        negative = piece.front() == '-';
        piece.remove_prefix(1);
    }
    if (piece.empty()) return std::nullopt;
    for (char c : piece) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    // Parse with the sign attached so that the most negative value is in range.
    // Built by appending: GCC 12 at -O3 reports a false -Wrestrict on "-" + std::string(...).
    std::string digits;
    digits.reserve(piece.size() + 1);
    if (negative) digits.push_back('-');
    digits.append(piece);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<DisplayKey> DisplayKey::parsing(std::string_view text) {
    const auto at = text.rfind('@');
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view identifier = text.substr(0, at);
    const std::string_view rest = text.substr(at + 1);

    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= rest.size()) {
        const auto x = rest.find('x', start);
        const auto end = x == std::string_view::npos ? rest.size() : x;
        if (end > start) pieces.push_back(rest.substr(start, end - start));
        if (x == std::string_view::npos) break;
        start = x + 1;
    }
    if (pieces.size() != 2) return std::nullopt;
    const auto width = parseInteger(pieces[0]);
    if (!width) return std::nullopt;
    const auto height = parseInteger(pieces[1]);
    if (!height) return std::nullopt;
    if (identifier.empty()) return std::nullopt;
    return DisplayKey(std::string(identifier), *width, *height);
}

json::Json DisplayKey::toJSON() const {
    return json::Json{{"displayID", displayID}, {"workAreaWidth", workAreaWidth}, {"workAreaHeight", workAreaHeight}};
}

DisplayKey DisplayKey::fromJSON(const json::Json& value) {
    return DisplayKey(json::requireString(value, "displayID"), json::requireInt64(value, "workAreaWidth"),
                      json::requireInt64(value, "workAreaHeight"));
}

}  // namespace tessary

std::size_t std::hash<tessary::DisplayKey>::operator()(const tessary::DisplayKey& key) const noexcept {
    std::size_t seed = std::hash<std::string>{}(key.displayID);
    tessary::hashCombine(seed, std::hash<std::int64_t>{}(key.workAreaWidth));
    tessary::hashCombine(seed, std::hash<std::int64_t>{}(key.workAreaHeight));
    return seed;
}
