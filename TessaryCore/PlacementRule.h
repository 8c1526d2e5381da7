#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UUID.h"

namespace tessary {

// Sends the windows of one application, optionally only those whose title matches a pattern, to
// chosen zones, optionally on a chosen display.
struct PlacementRule {
    UUID id;
    // A disabled rule never matches.
    bool isEnabled = true;
    // Compared exactly, letter case included.
    std::string bundleID;
    // Searched for in the title, ignoring case; absent, empty or only spaces and tabs: any title.
    std::optional<std::string> titlePattern;
    // The stable identifier of the target display; absent: the display that holds most of the window.
    std::optional<std::string> displayID;
    std::vector<std::int64_t> zoneIndices;
    // Whoever changes a rule sets this; the setters above never do.
    Date modifiedAt;

    PlacementRule() = default;
    // Stores the time rounded to whole milliseconds and the texts as valid UTF-8.
    PlacementRule(UUID id, bool isEnabled, std::string bundleID, std::optional<std::string> titlePattern,
                  std::optional<std::string> displayID, std::vector<std::int64_t> zoneIndices, Date modifiedAt);

    // For the rule editor: the empty text, or a text that compiles as a pattern (untrimmed).
    static bool isValidPattern(std::string_view pattern);
    // Enabled, the same application, and the pattern found in the title (an absent title is the
    // empty text). A pattern that does not compile, or whose search runs out of time, matches nothing.
    bool matches(std::string_view bundleID, const std::optional<std::string>& title) const;
    // The same, the application judged by `isApplication` from the rule's identifier (a window's
    // application may be named in several forms: its class, its desktop entry's id).
    bool matches(const std::function<bool(std::string_view)>& isApplication, const std::optional<std::string>& title) const;

    json::Json toJSON() const;
    static PlacementRule fromJSON(const json::Json& value);

    friend bool operator==(const PlacementRule&, const PlacementRule&) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::PlacementRule> {
    std::size_t operator()(const tessary::PlacementRule& rule) const noexcept;
};
