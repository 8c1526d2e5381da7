#include "Tessary/settings/ShortcutsPaneModel.h"

#include <algorithm>
#include <map>

namespace tessary {

std::vector<ShortcutSection> shortcutSections() {
    ShortcutSection zones{"Snap the focused window to a zone", "Zone numbers follow the layout of the display the window is on.",
                          true, {}};
    for (int zone = 1; zone <= 9; ++zone) {
        zones.rows.push_back({"Zone " + std::to_string(zone), "snapToZone" + std::to_string(zone), {}});
    }
    ShortcutSection moves{"Move between zones and displays", {}, false,
                          {{"Next zone", "nextZone", {}},
                           {"Previous zone", "previousZone", {}},
                           {"Next display", "nextDisplay", {}},
                           {"Previous display", "previousDisplay", {}}}};
    ShortcutSection layouts{"Layouts", {}, false,
                            {{"Next layout", "nextLayout", "Applies to the display under the cursor."},
                             {"Previous layout", "previousLayout", {}},
                             {"Show zones", "showZones", {}},
                             {"Restore windows to zones", "restoreAllWindows", {}},
                             {"Open layout editor", "openEditor", {}}}};
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

std::string shortcutTitle(const std::string& name) {
    for (const ShortcutSection& section : shortcutSections()) {
        for (const ShortcutRow& row : section.rows) {
            if (row.name == name) return row.title;
        }
    }
    return {};
}

ConfirmationTexts shortcutsResetConfirmation() {
    return {"Reset all shortcuts?", "Every shortcut on this pane goes back to its default; the ones you recorded are lost.",
            "Reset"};
}

PrimaryActionTexts shortcutsResetAction() { return {"Reset All to Defaults", {}}; }

}  // namespace tessary
