#pragma once

// Where windows were last snapped: per window (application and title) and per application. The
// content of "memory.json"; it stays on this machine.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/WindowPlacement.h"

namespace tessary {

struct WindowPlacementMemory {
    static constexpr std::int64_t currentVersion = 1;
    // The most window entries kept; the oldest go first.
    static constexpr std::size_t maxWindowEntries = 400;
    // Joins the application and the title in a window key.
    static constexpr char keySeparator = '\x1F';

    std::int64_t version = currentVersion;
    // Window key to the window's last placement.
    std::map<std::string, WindowPlacement> byWindow;
    // Application identifier to the last placement of any of its windows.
    std::map<std::string, WindowPlacement> byApp;

    // The application identifier, U+001F and the title, as given (made valid UTF-8); nothing for an
    // absent or empty title.
    static std::optional<std::string> windowKey(std::string_view bundleID, const std::optional<std::string>& title);

    // Remembers the placement for the application and, with a title, for the window; then caps the
    // window entries, never dropping the one just recorded.
    void record(const WindowPlacement& placement, std::string_view bundleID, const std::optional<std::string>& title);
    // Keeps the newest maxWindowEntries window entries. Among equal stamps the entry with the
    // smaller key stays, so the result never depends on the map's history.
    void prune();

    // The window's own placement.
    std::optional<WindowPlacement> windowPlacement(std::string_view bundleID, const std::optional<std::string>& title) const;
    // The window's own placement, else the application's.
    std::optional<WindowPlacement> placement(std::string_view bundleID, const std::optional<std::string>& title) const;
    // The same over every application identifier `isApplication` accepts (one application may be
    // remembered under several forms of its identifier): the newest of the window's own
    // placements, else, when `appLevel`, the newest of the applications'.
    std::optional<WindowPlacement> placement(const std::function<bool(std::string_view)>& isApplication,
                                             const std::optional<std::string>& title, bool appLevel) const;

    // Removes the window's own placement; whether there was one. The application's stays.
    bool forgetWindow(std::string_view bundleID, const std::optional<std::string>& title);
    // Removes everything remembered for the application, and nothing of another whose identifier
    // merely begins with the same text.
    void forgetApp(std::string_view bundleID);

    json::Json toJSON() const;
    static WindowPlacementMemory fromJSON(const json::Json& value);

    friend bool operator==(const WindowPlacementMemory&, const WindowPlacementMemory&) = default;

private:
    void pruneKeeping(const std::string* keep);
};

}  // namespace tessary
