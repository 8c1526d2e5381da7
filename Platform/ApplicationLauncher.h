#pragma once

// Finds and starts installed applications by their application identifier (on X11 the WM_CLASS
// class name). Identifiers reach the launcher from synchronised and hand-edited documents, so a
// back end may start only what the desktop itself lists as an installed application, and never
// turns an identifier into a path or a command line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

// An installed application as the desktop describes it.
struct InstalledApplication {
    // The identifier it was found for.
    std::string bundleIdentifier;
    // The name shown to the user, in the user's language where the description has it.
    std::string name;
    // A theme icon name or an absolute image path; absent when the description names none.
    std::optional<std::string> icon;
    // Where the description lives (on Linux its .desktop file).
    std::filesystem::path location;

    friend bool operator==(const InstalledApplication&, const InstalledApplication&) = default;
};

class ApplicationLauncher {
public:
    virtual ~ApplicationLauncher() = default;

    // The installed application with that identifier; absent when none is installed.
    virtual std::optional<InstalledApplication> application(const std::string& bundleIdentifier) const = 0;

    // Asks for the application to start, without bringing anything forward beyond what starting it
    // does by itself. True when a start was requested; the start is not awaited (its windows arrive
    // through the usual window-created notices). False when no such application is installed or
    // it could not be started.
    virtual bool launch(const std::string& bundleIdentifier) = 0;
    // Every application the launcher could start, each once, in the back end's order, with the
    // identifier a rule or an exclusion stores for it. `runningIdentifiers` are the identifiers of
    // running applications: one that maps to an entry names it when the entry names no window
    // class itself. None by default (a back end without a list).
    virtual std::vector<InstalledApplication> installedApplications(
        const std::vector<std::string>& runningIdentifiers = {}) const {
        (void)runningIdentifiers;
        return {};
    }
};

}  // namespace tessary
