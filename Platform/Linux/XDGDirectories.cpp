#include "Platform/Linux/XDGDirectories.h"

#include <cstdlib>

namespace tessary {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value || !fs::path(value).is_absolute()) return std::nullopt;
    return fs::path(value);
}

}  // namespace

fs::path XDGDirectories::configHome() {
    if (auto config = absoluteVariable("XDG_CONFIG_HOME")) return *config;
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".config";
    return fs::path(".config");
}

std::optional<fs::path> XDGDirectories::runtimeDirectory() { return absoluteVariable("XDG_RUNTIME_DIR"); }

}  // namespace tessary
