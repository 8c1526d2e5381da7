#pragma once

// Finds and starts installed applications by an application identifier (on X11 a window's WM_CLASS
// class name, or a desktop entry's id: ApplicationIndex says which entry each names). Identifiers
// reach the launcher from synchronised and hand-edited documents, so a back end may start only what
// the desktop itself lists as an installed application, and never turns an identifier into a path
// or a command line.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ApplicationIndex.h"

namespace tessary {

class ApplicationLauncher {
public:
    virtual ~ApplicationLauncher() = default;

    // The installed application a stored identifier names (ApplicationIndex::entryNamed), with
    // that identifier; absent when none is installed.
    virtual std::optional<InstalledApplication> application(const std::string& bundleIdentifier) const = 0;
    // The installed applications as they are now, for the look-ups of one operation (a filter,
    // a placement, a restore). A back end reads its descriptions again only when they changed.
    virtual std::shared_ptr<const ApplicationIndex> applicationIndex() const = 0;

    // Asks for the application to start, without bringing anything forward beyond what starting it
    // does by itself. True when a start was requested; the start is not awaited (its windows arrive
    // through the usual window-created notices). False when no such application is installed or
    // it could not be started.
    virtual bool launch(const std::string& bundleIdentifier) = 0;
    // Every application the launcher could start, each once, in the back end's order, with the
    // identifier a rule or an exclusion stores for it. `runningIdentifiers` are the identifiers of
    // running applications: one that names an entry stands for it when the entry names no window
    // class itself.
    virtual std::vector<InstalledApplication> installedApplications(
        const std::vector<std::string>& runningIdentifiers = {}) const = 0;

protected:
    // The index's entries, each under the first running identifier that names it when it has no
    // StartupWMClass.
    static std::vector<InstalledApplication> withRunningIdentifiers(const ApplicationIndex& index,
                                                                     const std::vector<std::string>& runningIdentifiers);
};

}  // namespace tessary
