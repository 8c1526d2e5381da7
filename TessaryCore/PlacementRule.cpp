#include "TessaryCore/PlacementRule.h"

#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/TitlePattern.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/WindowPlacement.h"

namespace tessary {

namespace {

std::optional<std::string> validUTF8(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return tessary::validUTF8(*text);
}

}  // namespace

PlacementRule::PlacementRule(UUID id, bool isEnabled, std::string bundleID, std::optional<std::string> titlePattern,
                             std::optional<std::string> displayID, std::vector<std::int64_t> zoneIndices,
                             Date modifiedAt)
    : id(id),
      isEnabled(isEnabled),
      bundleID(tessary::validUTF8(bundleID)),
      titlePattern(validUTF8(titlePattern)),
      displayID(validUTF8(displayID)),
      zoneIndices(std::move(zoneIndices)),
      modifiedAt(modifiedAt.roundedToMilliseconds()) {}

bool PlacementRule::isValidPattern(std::string_view pattern) {
    return pattern.empty() || TitlePattern::compiles(pattern);
}

bool PlacementRule::matches(std::string_view bundleID, const std::optional<std::string>& title) const {
    // The rule holds its application as valid UTF-8; a window's raw class is compared the same way.
    const std::string valid = isValidUTF8(bundleID) ? std::string() : tessary::validUTF8(bundleID);
    const std::string_view windowApplication = valid.empty() ? bundleID : std::string_view(valid);
    return matches([&](std::string_view stored) { return stored == windowApplication; }, title);
}

bool PlacementRule::matches(const std::function<bool(std::string_view)>& isApplication,
                            const std::optional<std::string>& title) const {
    if (!isEnabled || !isApplication(bundleID)) return false;
    if (!titlePattern) return true;
    const std::string pattern = trimmingSpacesAndTabs(*titlePattern);
    if (pattern.empty()) return true;
    return TitlePattern::searchIgnoringCase(pattern, title ? std::string_view(*title) : std::string_view());
}

json::Json PlacementRule::toJSON() const {
    json::Json object{{"id", id.toJSON()},
                      {"isEnabled", isEnabled},
                      {"bundleID", bundleID},
                      {"zoneIndices", encodeZoneIndices(zoneIndices)},
                      {"modifiedAt", modifiedAt.toJSON()}};
    if (titlePattern) object["titlePattern"] = *titlePattern;
    if (displayID) object["displayID"] = *displayID;
    return object;
}

PlacementRule PlacementRule::fromJSON(const json::Json& value) {
    PlacementRule rule;
    rule.id = UUID::fromJSON(json::require(value, "id"));
    rule.isEnabled = json::requireBool(value, "isEnabled");
    rule.bundleID = json::requireString(value, "bundleID");
    rule.titlePattern = json::optionalString(value, "titlePattern");
    rule.displayID = json::optionalString(value, "displayID");
    rule.zoneIndices = json::asInt64Array(json::require(value, "zoneIndices"), "zoneIndices");
    rule.modifiedAt = Date::fromJSON(json::require(value, "modifiedAt"));
    return rule;
}

}  // namespace tessary

std::size_t std::hash<tessary::PlacementRule>::operator()(const tessary::PlacementRule& rule) const noexcept {
    const auto feedOptional = [](std::size_t& seed, const std::optional<std::string>& text) {
        tessary::hashCombine(seed, std::hash<bool>{}(text.has_value()));
        if (text) tessary::hashCombine(seed, std::hash<std::string>{}(*text));
    };
    std::size_t seed = std::hash<tessary::UUID>{}(rule.id);
    tessary::hashCombine(seed, std::hash<bool>{}(rule.isEnabled));
    tessary::hashCombine(seed, std::hash<std::string>{}(rule.bundleID));
    feedOptional(seed, rule.titlePattern);
    feedOptional(seed, rule.displayID);
    tessary::hashCombine(seed, std::hash<std::size_t>{}(rule.zoneIndices.size()));
    for (std::int64_t index : rule.zoneIndices) tessary::hashCombine(seed, std::hash<std::int64_t>{}(index));
    tessary::hashCombine(seed, std::hash<tessary::Date>{}(rule.modifiedAt));
    return seed;
}
