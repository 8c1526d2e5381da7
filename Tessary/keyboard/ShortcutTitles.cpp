#include "Tessary/keyboard/ShortcutTitles.h"

#include <map>

namespace tessary {

std::string shortcutTitle(const std::string& name) {
    static const std::map<std::string, std::string> titles = [] {
        std::map<std::string, std::string> table{
            {"nextZone", "Next zone"},
            {"previousZone", "Previous zone"},
            {"nextDisplay", "Next display"},
            {"previousDisplay", "Previous display"},
            {"nextLayout", "Next layout"},
            {"previousLayout", "Previous layout"},
            {"showZones", "Show zones"},
            {"restoreAllWindows", "Restore windows to zones"},
            {"openEditor", "Open layout editor"},
        };
        for (int zone = 1; zone <= 9; ++zone) table.emplace("snapToZone" + std::to_string(zone), "Zone " + std::to_string(zone));
        return table;
    }();
    const auto found = titles.find(name);
    return found == titles.end() ? std::string() : found->second;
}

}  // namespace tessary
