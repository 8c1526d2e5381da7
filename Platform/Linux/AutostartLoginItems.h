#pragma once

// Launch at login on a freedesktop.org session: an autostart entry
// ($XDG_CONFIG_HOME/autostart/tessary.desktop) that the session starts at login.
//
// The entry is written whole and atomically, so a crash never leaves half a file that the session
// would misread; switching off removes it. An entry that is present but says Hidden=true, or that
// a desktop turned off with X-GNOME-Autostart-enabled=false, reads as off: the session skips it.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "Platform/LoginItems.h"
#include "TessaryCore/DocumentFileSystem.h"

namespace tessary {

class AutostartLoginItems final : public LoginItems {
public:
    // `program` is the path of the executable the entry starts.
    AutostartLoginItems(std::filesystem::path entryPath, std::string program,
                        std::shared_ptr<DocumentFileSystem> files = DocumentFileSystem::standard());

    // $XDG_CONFIG_HOME/autostart/tessary.desktop.
    static std::filesystem::path defaultEntryPath();

    bool isEnabled() const override;
    Expected<void, LoginItemError> setEnabled(bool enabled) override;

    // The entry's text for a program path.
    static std::string entryText(std::string_view program);
    // One argument of an Exec line by the desktop-entry rules: quoted when it holds a reserved
    // character, with '"', '`', '$' and '\' escaped inside the quotes and '%' doubled.
    static std::string quotedExecArgument(std::string_view argument);

private:
    std::filesystem::path entryPath_;
    std::string program_;
    std::shared_ptr<DocumentFileSystem> files_;
};

}  // namespace tessary
