#pragma once

// Which installed application a window belongs to, and which application a stored identifier
// names: the one matching behind exclusions, rules, window memory, workspaces, launching, names
// and icons.
//
// Windows know their application only by what they announce (on X11 the WM_CLASS class and
// instance, and an application id: `_GTK_APPLICATION_ID`, else `_KDE_NET_WM_DESKTOP_FILE`);
// desktop entries are known by their id ("org.gnome.Calculator"), their StartupWMClass and the
// program their Exec line runs. A window belongs to the first entry, in the entries' order, that
// the first of these rules finds (names compare ignoring ASCII case):
//   1. the entry's StartupWMClass is the window's class;
//   2. the window's application id is the entry's id;
//   3. the entry's StartupWMClass is the window's instance;
//   4. the window's class is the identifier a rule or exclusion made from the entry stores, or the
//      entry's id;
//   5. for an entry without a StartupWMClass: the class, then the instance, is the last component
//      of the entry's id ("org.xfce.mousepad" for "Mousepad"), then the program its Exec runs
//      ("gnome-calculator" for org.gnome.Calculator).
// A stored identifier names the entry a window of that class alone would belong to. A stored
// identifier names a window's application when it is exactly the window's class or application
// id, or when it names the entry the window belongs to: so a class stored before entries were
// consulted keeps matching, and an entry id chosen from the installed list matches the windows of
// that entry.
//
// An index is immutable once made; look-ups are a few hash probes and allocate nothing.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessary {

// An installed application as the desktop describes it.
struct InstalledApplication {
    // The identifier a rule or exclusion made from it stores (the entry's StartupWMClass, else a
    // running window class that belongs to it, else its id); a look-up by identifier gives the
    // identifier asked for.
    std::string bundleIdentifier;
    // The name shown to the user, in the user's language where the description has it.
    std::string name;
    // A theme icon name or an absolute image path; absent when the description names none.
    std::optional<std::string> icon;
    // Where the description lives (on Linux its .desktop file).
    std::filesystem::path location;
    // How its windows are told from others: the entry's id (the desktop file ID without
    // ".desktop"), its StartupWMClass and the program its Exec line runs, wrappers looked through.
    std::string entryID{};
    std::optional<std::string> startupWMClass{};
    std::optional<std::string> program{};

    friend bool operator==(const InstalledApplication&, const InstalledApplication&) = default;
};

// What a window announces of its application. Views: the strings must outlive the look-up.
struct WindowApplication {
    std::string_view windowClass;
    std::string_view instanceName;
    std::string_view applicationID;

    // Absent texts as empty ones.
    static WindowApplication of(const std::optional<std::string>& windowClass,
                                const std::optional<std::string>& instanceName,
                                const std::optional<std::string>& applicationID) {
        const auto view = [](const std::optional<std::string>& text) {
            return text ? std::string_view(*text) : std::string_view();
        };
        return {view(windowClass), view(instanceName), view(applicationID)};
    }
};

class ApplicationIndex {
public:
    // No entries: an identifier names a window only by its class or application id.
    ApplicationIndex() = default;
    // The entries in the order of importance (the first that matches wins).
    explicit ApplicationIndex(std::vector<InstalledApplication> entries);

    const std::vector<InstalledApplication>& entries() const { return entries_; }

    // The entry the window belongs to; null when none.
    const InstalledApplication* entryFor(const WindowApplication& window) const;
    // The entry a stored identifier names; null when none.
    const InstalledApplication* entryNamed(std::string_view identifier) const;
    // Whether the stored identifier names the window's application.
    bool names(std::string_view identifier, const WindowApplication& window) const;
    // Whether any of the identifiers does; the window's entry is looked up once.
    bool namesAny(const std::vector<std::string>& identifiers, const WindowApplication& window) const;

    // The program an Exec line's arguments run, as its windows' class names it: the file name of
    // the first argument, looking through `env` (its options and assignments), `flatpak run`
    // (its --command, else nothing: the entry's id is the application's) and `snap run`; lower
    // case. Nothing for an empty line.
    static std::optional<std::string> programOf(const std::vector<std::string>& execArguments);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    // Lower-cased name to the first entry's position.
    using Table = std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>>;

    const InstalledApplication* find(const Table& table, std::string_view name) const;
    bool namesGiven(std::string_view identifier, const WindowApplication& window,
                    const InstalledApplication* windowEntry) const;

    std::vector<InstalledApplication> entries_;
    Table byStartupClass_, byIdentifier_, byEntryID_, byLastComponent_, byProgram_;
};

}  // namespace tessary
