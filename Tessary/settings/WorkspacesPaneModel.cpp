#include "Tessary/settings/WorkspacesPaneModel.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <algorithm>
#include <memory>

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/shell/AppActions.h"

namespace tessary {

std::string workspaceCountsText(const Workspace& workspace) {
    return std::to_string(workspace.entries.size()) + " windows \u00b7 " + std::to_string(workspace.bundleIDs().size()) +
           " apps";
}

std::string workspaceDisplaySummary(const Workspace& workspace, const std::vector<DisplayInfo>& displays) {
    std::vector<std::string> names;
    for (const std::string& identifier : workspace.displayIdentifiers) {
        auto display = std::find_if(displays.begin(), displays.end(),
                                    [&](const DisplayInfo& d) { return d.identifier == identifier; });
        names.push_back(display != displays.end() ? display->localizedName : std::string("a display that is not attached"));
    }
    std::sort(names.begin(), names.end());
    std::string summary = "With ";
    for (std::size_t i = 0; i < names.size(); ++i) summary += (i > 0 ? ", " : "") + names[i];
    return summary;
}

std::string workspaceEntryZonesText(const WorkspaceEntry& entry) {
    if (entry.zoneIndices.empty()) return "free";
    std::string text = "zone ";
    for (std::size_t i = 0; i < entry.zoneIndices.size(); ++i) text += (i > 0 ? "+" : "") + zoneNumberText(entry.zoneIndices[i]);
    return text;
}

std::string workspaceSavedText(Date date, std::string_view locale, std::string_view timeZone) {
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, where));
    if (!format) return "Saved " + date.iso8601().value_or("");
    if (!timeZone.empty()) {
        format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(std::string(timeZone))));
    }
    icu::UnicodeString text;
    format->format(date.unixTime() * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return "Saved " + out;
}

Workspace saveWorkspaceFromSettings(WorkspaceService& workspaces, const AppActions& actions, const std::string& name) {
    Workspace saved = workspaces.saveCurrentWindows(name);
    actions.workspacesChanged();
    return saved;
}

bool editWorkspace(WorkspaceService& workspaces, const UUID& id, const std::function<void(Workspace&)>& edit) {
    if (!workspaces.library().workspace(id)) return false;
    workspaces.updateLibrary([&](WorkspaceLibrary& library) {
        for (Workspace& workspace : library.workspaces) {
            if (workspace.id != id) continue;
            edit(workspace);
            workspace.modifiedAt = Date::now();
            return;
        }
    });
    return true;
}

std::optional<Workspace> selectedWorkspace(const WorkspaceService& workspaces, const std::optional<UUID>& selection) {
    if (!selection) return std::nullopt;
    return workspaces.library().workspace(*selection);
}

ConfirmationTexts removeWorkspaceConfirmation(const std::string& name) {
    return {"Remove \u201c" + name + "\u201d?", "Its saved window positions are deleted. This cannot be undone.", "Remove"};
}

ConfirmationTexts updateWorkspaceConfirmation(const std::string& name) {
    return {"Update \u201c" + name + "\u201d?", "Its saved window positions are replaced with where the windows are now.",
            "Update"};
}

}  // namespace tessary
