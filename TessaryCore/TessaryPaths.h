#pragma once

// Where the documents live: $XDG_DATA_HOME/Tessary, by default ~/.local/share/Tessary. Computed on
// every call, so a changed environment or override takes effect at once.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tessary {

struct TessaryPaths {
    // Reads one environment variable; nothing when it is unset.
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    static std::filesystem::path folder();
    static std::filesystem::path layoutsURL() { return folder() / "layouts.json"; }
    static std::filesystem::path memoryURL() { return folder() / "memory.json"; }
    static std::filesystem::path rulesURL() { return folder() / "rules.json"; }
    static std::filesystem::path workspacesURL() { return folder() / "workspaces.json"; }

    // The folder for the given environment, by the XDG rules: $XDG_DATA_HOME when it is an absolute
    // path (an empty or relative value is ignored), else $HOME/.local/share, else the account's
    // home directory; then "Tessary".
    static std::filesystem::path folder(const Environment& environment);

    // Points every document at another folder (tests, a data-folder switch); nothing gives the
    // environment's folder back.
    static void setFolderOverride(std::optional<std::filesystem::path> folder);
};

}  // namespace tessary
