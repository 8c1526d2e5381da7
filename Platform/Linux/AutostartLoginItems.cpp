#include "Platform/Linux/AutostartLoginItems.h"

#include <cstring>
#include <system_error>

#include "Platform/Linux/DesktopEntry.h"
#include "Platform/Linux/XDGDirectories.h"

namespace tessary {

namespace fs = std::filesystem;

namespace {

// The string escapes of a desktop-entry value (the Exec value is a string, unescaped before it is
// split into arguments).
std::string escapeString(std::string_view value) {
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

AutostartLoginItems::AutostartLoginItems(fs::path entryPath, std::string program,
                                         std::shared_ptr<DocumentFileSystem> files)
    : entryPath_(std::move(entryPath)), program_(std::move(program)), files_(std::move(files)) {}

fs::path AutostartLoginItems::defaultEntryPath() { return XDGDirectories::configHome() / "autostart" / "tessary.desktop"; }

std::string AutostartLoginItems::quotedExecArgument(std::string_view argument) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string escaped;
    bool needsQuotes = argument.empty();
    for (char c : argument) {
        if (reserved.find(c) != std::string_view::npos) needsQuotes = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\') escaped += '\\';
        if (c == '%') escaped += '%';
        escaped += c;
    }
    return needsQuotes ? "\"" + escaped + "\"" : escaped;
}

std::string AutostartLoginItems::entryText(std::string_view program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tessary\n"
           "Comment=Zone window manager\n"
           "Exec=" + escapeString(quotedExecArgument(program)) + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartLoginItems::isEnabled() const {
    auto text = files_->readFile(entryPath_);
    if (!text || !text.value()) return false;
    auto entry = DesktopEntry::parse(**text);
    if (!entry || entry->boolean("Hidden")) return false;
    return entry->string("X-GNOME-Autostart-enabled").value_or("true") != "false";
}

Expected<void, LoginItemError> AutostartLoginItems::setEnabled(bool enabled) {
    if (!enabled) {
        std::error_code error;
        fs::remove(entryPath_, error);
        if (error) return unexpected(LoginItemError{"cannot remove " + entryPath_.string() + ": " + error.message()});
        return {};
    }
    if (auto error = files_->createDirectories(entryPath_.parent_path())) {
        return unexpected(LoginItemError{"cannot create " + entryPath_.parent_path().string() + ": " + error.message()});
    }
    if (auto error = files_->writeAtomically(entryPath_, entryText(program_))) {
        return unexpected(LoginItemError{"cannot write " + entryPath_.string() + ": " + error.message()});
    }
    return {};
}

}  // namespace tessary
