#include "Tessary/settings/AppInfo.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace tessary {

namespace {

std::string foldASCII(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<std::string> runningIdentifiers(const ApplicationWorkspace& workspace) {
    std::vector<std::string> identifiers;
    for (const RunningApplication& app : workspace.runningApplications()) {
        if (app.bundleIdentifier) identifiers.push_back(*app.bundleIdentifier);
    }
    return identifiers;
}

}  // namespace

bool collatedLess(const std::string& a, const std::string& b) {
    // One collator per thread: making one costs far more than a comparison.
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C locale maps to ICU's POSIX variant, which orders by code point (all capitals first);
        // the root collation is what a user of no particular language expects.
        icu::Locale locale = icu::Locale::getDefault();
        if (std::string_view(locale.getVariant()) == "POSIX") locale = icu::Locale::getRoot();
        std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status)) made.reset();
        if (made) made->setStrength(icu::Collator::SECONDARY);
        return made;
    }();
    if (!collator) return foldASCII(a) < foldASCII(b);
    UErrorCode status = U_ZERO_ERROR;
    return collator->compareUTF8(a, b, status) == UCOL_LESS;
}

AppInfo::AppInfo(const ApplicationLauncher& launcher, const ApplicationWorkspace& workspace)
    : AppInfo(launcher.installedApplications(runningIdentifiers(workspace)), workspace.runningApplications()) {}

AppInfo::AppInfo(std::vector<InstalledApplication> installed, std::vector<RunningApplication> running)
    : index_(std::move(installed)), running_(std::move(running)) {}

std::vector<AppInfo::RunningApp> AppInfo::runningApps(const std::vector<std::string>& leftOut) const {
    std::vector<RunningApp> apps;
    for (const RunningApplication& app : running_) {
        if (app.isTerminated || app.activationPolicy != ActivationPolicy::regular || !app.bundleIdentifier) continue;
        const WindowApplication application = app.windowApplication();
        if (std::find(leftOut.begin(), leftOut.end(), *app.bundleIdentifier) != leftOut.end() ||
            index_.namesAny(leftOut, application)) {
            continue;
        }
        const InstalledApplication* entry = index_.entryFor(application);
        apps.push_back({*app.bundleIdentifier, entry && !entry->name.empty() ? entry->name : *app.bundleIdentifier});
    }
    sortByCollatedName(apps, [](const RunningApp& app) -> const std::string& { return app.name; });
    return apps;
}

std::string AppInfo::appDisplayName(const std::string& bundleID) const {
    const InstalledApplication* entry = index_.entryNamed(bundleID);
    return entry && !entry->name.empty() ? entry->name : bundleID;
}

std::optional<std::string> AppInfo::icon(const std::string& bundleID) const {
    const InstalledApplication* entry = index_.entryNamed(bundleID);
    return entry ? entry->icon : std::nullopt;
}

}  // namespace tessary
