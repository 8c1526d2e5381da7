#include "TessaryCore/TessaryPaths.h"

#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace tessary {

namespace {

std::optional<std::filesystem::path>& folderOverride() {
    static std::optional<std::filesystem::path> path;
    return path;
}

std::optional<std::string> processEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

// The account's home directory from the user database, for a process started without $HOME.
std::optional<std::string> accountHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result || !result->pw_dir) {
        return std::nullopt;
    }
    return std::string(result->pw_dir);
}

bool isAbsolute(const std::optional<std::string>& value) {
    return value && !value->empty() && std::filesystem::path(*value).is_absolute();
}

}  // namespace

std::filesystem::path TessaryPaths::folder() {
    if (folderOverride()) return *folderOverride();
    return folder(processEnvironment);
}

std::filesystem::path TessaryPaths::folder(const Environment& environment) {
    const auto dataHome = environment("XDG_DATA_HOME");
    if (isAbsolute(dataHome)) return std::filesystem::path(*dataHome) / "Tessary";
    auto home = environment("HOME");
    if (!isAbsolute(home)) home = accountHome();
    const std::filesystem::path base = home ? std::filesystem::path(*home) : std::filesystem::path("/");
    return base / ".local" / "share" / "Tessary";
}

void TessaryPaths::setFolderOverride(std::optional<std::filesystem::path> folder) {
    folderOverride() = std::move(folder);
}

}  // namespace tessary
