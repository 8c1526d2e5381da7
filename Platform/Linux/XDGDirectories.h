#pragma once

// The user's base directories by the XDG rules: a variable counts only when it holds an absolute
// path; an empty or relative value is ignored as if unset.

#include <filesystem>
#include <optional>

namespace tessary {

struct XDGDirectories {
    // $XDG_CONFIG_HOME, else $HOME/.config, else ".config".
    static std::filesystem::path configHome();
    // $XDG_RUNTIME_DIR; nothing when unset (there is no fallback: the rules say to warn and use
    // something else, and the one user of it does without).
    static std::optional<std::filesystem::path> runtimeDirectory();
};

}  // namespace tessary
