#include "Tessary/settings/WorkspacesPaneModel.h"

#include <algorithm>

#include "Tessary/settings/DateText.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "TessaryCore/UserText.h"
#include "TessaryCore/SyncMerge.h"

namespace tessary {

std::string workspaceSaveName(std::string_view typed, std::size_t workspaceCount) {
    std::string name = trimmingWhitespaceAndNewlines(typed);
    return name.empty() ? "Workspace " + std::to_string(workspaceCount + 1) : name;
}

std::string workspaceRowSummary(const Workspace& workspace) {
    const std::size_t windows = workspace.entries.size();
    const std::size_t apps = workspace.bundleIDs().size();
    return std::to_string(windows) + (windows == 1 ? " window" : " windows") + " \u00B7 " + std::to_string(apps) +
           (apps == 1 ? " app" : " apps");
}

std::string workspaceDisplaySummary(const Workspace& workspace, const std::vector<DisplayInfo>& displays) {
    std::vector<std::string> names;
    for (const std::string& identifier : workspace.displayIdentifiers) {
        const auto found = std::find_if(displays.begin(), displays.end(),
                                        [&](const DisplayInfo& d) { return d.identifier == identifier; });
        names.push_back(found == displays.end() ? "a display that is not attached" : found->localizedName);
    }
    std::sort(names.begin(), names.end());
    std::string summary = "With ";
    for (std::size_t i = 0; i < names.size(); ++i) summary += (i ? ", " : "") + names[i];
    return summary;
}

std::string entryZonesText(const std::vector<std::int64_t>& zoneIndices) {
    if (zoneIndices.empty()) return "free";
    std::string text = "zone ";
    for (std::size_t i = 0; i < zoneIndices.size(); ++i) text += (i ? "+" : "") + zoneNumberText(zoneIndices[i]);
    return text;
}

std::string workspaceSavedText(Date date, std::string_view locale, std::string_view timeZone) {
    return "Saved " + dateText(date, DateTextStyle::medium, DateTextStyle::none, locale, timeZone);
}

bool editWorkspace(WorkspaceService& workspaces, const UUID& id, Date now, const std::function<void(Workspace&)>& edit) {
    if (!workspaces.library().workspace(id)) return false;
    workspaces.updateLibrary([&](WorkspaceLibrary& library) {
        for (Workspace& workspace : library.workspaces) {
            if (workspace.id != id) continue;
            edit(workspace);
            workspace.modifiedAt = SyncMerge::editStamp(workspace.modifiedAt, now);
            return;
        }
    });
    return true;
}

ConfirmationTexts removeWorkspaceConfirmation(const std::string& name) {
    return {"Remove \u201C" + name + "\u201D?", "Its saved window positions are deleted. This cannot be undone.", "Remove"};
}

ConfirmationTexts updateWorkspaceConfirmation(const std::string& name) {
    return {"Update \u201C" + name + "\u201D?", "Its saved window positions are replaced with where the windows are now.",
            "Update"};
}

}  // namespace tessary
