#include "Tessary/keyboard/HeldShortcutsNotice.h"

#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/keyboard/ShortcutTitles.h"

namespace tessary {

namespace {

constexpr std::string_view kToldKey = "heldShortcuts.told";
// Past this many the list ends with how many more: the pane shows them all.
constexpr std::size_t kListed = 6;

}  // namespace

std::optional<HeldShortcutsNotice> heldShortcutsNotice(GlobalShortcuts& shortcuts, UserDefaults& defaults) {
    std::string told;
    std::vector<std::string> listed;
    for (const GlobalShortcuts::Name& name : ShortcutNames::paneShortcutNames()) {
        if (!shortcuts.isHeldByAnotherProgram(name)) continue;
        const auto shortcut = shortcuts.getShortcut(name);
        if (!shortcut) continue;
        told += (told.empty() ? "" : ",") + name.rawValue + "=" + shortcut->storedText();
        listed.push_back(shortcuts.description(*shortcut) + " (" + shortcutTitle(name.rawValue) + ")");
    }
    if (told.empty()) {
        defaults.remove(kToldKey);
        return std::nullopt;
    }
    if (defaults.stringValue(kToldKey) == told) return std::nullopt;
    defaults.set(kToldKey, told);

    std::string list;
    for (std::size_t i = 0; i < listed.size() && i < kListed; ++i) {
        const bool last = i + 1 == listed.size();
        list += (i == 0 ? "" : last ? " and " : ", ") + listed[i];
    }
    if (listed.size() > kListed) list += " and " + std::to_string(listed.size() - kListed) + " more";
    HeldShortcutsNotice notice;
    notice.title = listed.size() == 1 ? "A shortcut does not work" : "Some shortcuts do not work";
    notice.body = "Another program, such as the window manager, holds " + list +
                  ". Record other combinations in Settings, Shortcuts.";
    notice.actionLabel = "Open Shortcuts";
    return notice;
}

}  // namespace tessary
