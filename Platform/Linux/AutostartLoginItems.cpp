#include "Platform/Linux/AutostartLoginItems.h"

#include <algorithm>
#include <cstdlib>
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

AutostartLoginItems::AutostartLoginItems(fs::path entryPath, std::string program, std::vector<fs::path> systemEntryPaths,
                                         std::shared_ptr<DocumentFileSystem> files)
    : entryPath_(std::move(entryPath)),
      program_(std::move(program)),
      systemEntryPaths_(std::move(systemEntryPaths)),
      files_(std::move(files)) {}

fs::path AutostartLoginItems::defaultEntryPath() { return XDGDirectories::configHome() / "autostart" / "tessary.desktop"; }

std::vector<fs::path> AutostartLoginItems::systemEntryPaths() {
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    const std::string dirs = value && *value ? value : "/etc/xdg";
    std::vector<fs::path> paths;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const fs::path dir(dirs.substr(start, end - start));
        // The base-directory rules count only absolute paths; a relative one would depend on where we run.
        if (dir.is_absolute()) paths.push_back(dir / "autostart" / "tessary.desktop");
        start = end + 1;
    }
    return paths;
}

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

std::optional<bool> AutostartLoginItems::entryEnabled(const fs::path& path) const {
    auto text = files_->readFile(path);
    if (!text || !text.value()) return std::nullopt;
    auto entry = DesktopEntry::parse(**text);
    if (!entry || entry->boolean("Hidden")) return false;
    return entry->string("X-GNOME-Autostart-enabled").value_or("true") != "false";
}

std::optional<bool> AutostartLoginItems::systemEntryEnabled() const {
    for (const fs::path& path : systemEntryPaths_) {
        if (auto enabled = entryEnabled(path)) return enabled;
    }
    return std::nullopt;
}

bool AutostartLoginItems::isEnabled() const {
    if (auto own = entryEnabled(entryPath_)) return *own;
    return systemEntryEnabled().value_or(false);
}

Expected<void, LoginItemError> AutostartLoginItems::writeEntry(const std::string& text) {
    if (auto error = files_->createDirectories(entryPath_.parent_path())) {
        return unexpected(LoginItemError{"cannot create " + entryPath_.parent_path().string() + ": " + error.message()});
    }
    if (auto error = files_->writeAtomically(entryPath_, text)) {
        return unexpected(LoginItemError{"cannot write " + entryPath_.string() + ": " + error.message()});
    }
    return {};
}

Expected<void, LoginItemError> AutostartLoginItems::setEnabled(bool enabled) {
    if (enabled) return writeEntry(entryText(program_));
    // A system entry would still start the program: only a user entry of the same name that says
    // Hidden=true keeps the session from it.
    if (systemEntryEnabled().value_or(false)) return writeEntry(entryText(program_) + "Hidden=true\n");
    std::error_code error;
    fs::remove(entryPath_, error);
    if (error) return unexpected(LoginItemError{"cannot remove " + entryPath_.string() + ": " + error.message()});
    return {};
}

}  // namespace tessary
