#pragma once

// Launch at login on a freedesktop.org session: an autostart entry
// ($XDG_CONFIG_HOME/autostart/tessary.desktop) that the session starts at login.
//
// The entry is written whole and atomically, so a crash never leaves half a file that the session
// would misread. An entry that is present but says Hidden=true, or that a desktop turned off with
// X-GNOME-Autostart-enabled=false, reads as off: the session skips it.
//
// A package may also install a system-wide entry of the same name in an autostart folder of
// $XDG_CONFIG_DIRS; the session starts it unless the user's folder holds an entry of that name.
// So the state read is the user's entry when there is one, else the first system entry; and
// switching off over a system entry writes a user entry with Hidden=true instead of only removing
// the user's, which would leave the program starting while the switch says off.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/LoginItems.h"
#include "TessaryCore/DocumentFileSystem.h"

namespace tessary {

class AutostartLoginItems final : public LoginItems {
public:
    // `program` is the path of the executable the entry starts.
    // `systemEntryPaths`: the same entry in the system's autostart folders, in $XDG_CONFIG_DIRS
    // order (systemEntryPaths() in the program).
    AutostartLoginItems(std::filesystem::path entryPath, std::string program,
                        std::vector<std::filesystem::path> systemEntryPaths = {},
                        std::shared_ptr<DocumentFileSystem> files = DocumentFileSystem::standard());

    // $XDG_CONFIG_HOME/autostart/tessary.desktop.
    static std::filesystem::path defaultEntryPath();
    // tessary.desktop under the autostart folder of each of $XDG_CONFIG_DIRS (default /etc/xdg).
    static std::vector<std::filesystem::path> systemEntryPaths();

    bool isEnabled() const override;
    Expected<void, LoginItemError> setEnabled(bool enabled) override;

    // The entry's text for a program path.
    static std::string entryText(std::string_view program);
    // One argument of an Exec line by the desktop-entry rules: quoted when it holds a reserved
    // character, with '"', '`', '$' and '\' escaped inside the quotes and '%' doubled.
    static std::string quotedExecArgument(std::string_view argument);

private:
    // Whether the entry at `path` exists and starts the program; nothing when there is no entry.
    std::optional<bool> entryEnabled(const std::filesystem::path& path) const;
    std::optional<bool> systemEntryEnabled() const;
    Expected<void, LoginItemError> writeEntry(const std::string& text);

    std::filesystem::path entryPath_;
    std::string program_;
    std::vector<std::filesystem::path> systemEntryPaths_;
    std::shared_ptr<DocumentFileSystem> files_;
};

}  // namespace tessary
