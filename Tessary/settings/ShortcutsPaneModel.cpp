#include "Tessary/settings/ShortcutsPaneModel.h"

#include <algorithm>
#include <map>
#include <utility>

#include "Tessary/keyboard/ShortcutTitles.h"

namespace tessary {

namespace {

ShortcutRow row(const std::string& name, std::string description = {}) {
    return {shortcutTitle(name), name, std::move(description)};
}

}  // namespace

std::vector<ShortcutSection> shortcutSections() {
    ShortcutSection zones{"Snap the focused window to a zone", "Zone numbers follow the layout of the display the window is on.",
                          true, {}};
    for (int zone = 1; zone <= 9; ++zone) zones.rows.push_back(row("snapToZone" + std::to_string(zone)));
    ShortcutSection moves{"Move between zones and displays", {}, false,
                          {row("nextZone"), row("previousZone"), row("nextDisplay"), row("previousDisplay")}};
    ShortcutSection layouts{"Layouts", {}, false,
                            {row("nextLayout", "Applies to the display under the cursor."), row("previousLayout"),
                             row("showZones"), row("restoreAllWindows"), row("openEditor")}};
    return {zones, moves, layouts};
}

const std::vector<std::string>& paneShortcutNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (int zone = 1; zone <= 9; ++zone) list.push_back("snapToZone" + std::to_string(zone));
        for (const char* name : {"nextZone", "previousZone", "nextDisplay", "previousDisplay", "nextLayout",
                                 "previousLayout", "showZones", "openEditor", "restoreAllWindows"}) {
            list.emplace_back(name);
        }
        return list;
    }();
    return names;
}

int zoneGridColumns(int width) { return std::max(1, (width + 12) / 212); }

std::string defaultShortcutText(const std::string& name) {
    static const std::map<std::string, std::string> defaults{
        {"nextZone", "Ctrl+Alt+Right"},
        {"previousZone", "Ctrl+Alt+Left"},
        {"nextDisplay", "Ctrl+Alt+Super+Right"},
        {"previousDisplay", "Ctrl+Alt+Super+Left"},
        {"nextLayout", "Ctrl+Alt+Super+Down"},
        {"previousLayout", "Ctrl+Alt+Super+Up"},
        {"showZones", "Ctrl+Alt+Z"},
        {"restoreAllWindows", "Ctrl+Alt+R"},
        {"openEditor", "Ctrl+Alt+`"},
    };
    static constexpr std::string_view zonePrefix = "snapToZone";
    if (name.size() == zonePrefix.size() + 1 && name.starts_with(zonePrefix) && name.back() >= '1' && name.back() <= '9') {
        return std::string("Ctrl+Alt+") + name.back();
    }
    const auto found = defaults.find(name);
    return found == defaults.end() ? std::string() : found->second;
}

ConfirmationTexts shortcutsResetConfirmation() {
    return {"Reset all shortcuts?", "Every shortcut on this pane goes back to its default; the ones you recorded are lost.",
            "Reset"};
}

PrimaryActionTexts shortcutsResetAction() { return {"Reset All to Defaults", {}}; }

}  // namespace tessary
