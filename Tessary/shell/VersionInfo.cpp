#include "Tessary/shell/VersionInfo.h"

#include <sys/utsname.h>

#include "Tessary/shell/BuildOptions.h"
#include "Tessary/shell/OSRelease.h"

namespace tessary {

namespace {

constexpr std::string_view enDash = "\xE2\x80\x93";

std::string kernelRelease() {
    utsname name{};
    if (uname(&name) != 0) return {};
    return withoutControlCharacters(name.release);
}

}  // namespace

std::string shortVersionString() {
    return buildOptions::projectVersion.empty() ? std::string(enDash) : std::string(buildOptions::projectVersion);
}

std::string buildVersionString() { return std::string(buildOptions::buildVersion); }

std::string copyrightString() { return std::string(buildOptions::copyright); }

std::string appVersionString(std::string_view shortVersion, std::string_view buildVersion) {
    std::string text = shortVersion.empty() ? std::string(enDash) : std::string(shortVersion);
    if (!buildVersion.empty()) text += " (" + std::string(buildVersion) + ")";
    return text;
}

std::string appVersionString() { return appVersionString(shortVersionString(), buildVersionString()); }

std::string systemVersionString(const std::optional<std::string>& osReleaseText, std::string_view kernelRelease) {
    const OSReleaseFields fields = osReleaseText ? parseOSRelease(*osReleaseText) : OSReleaseFields{};
    const auto field = [&](std::string_view key) {
        const auto found = fields.find(key);
        return found == fields.end() ? std::string() : found->second;
    };
    std::string text = field("NAME");
    if (text.empty()) text = "Linux";
    if (const std::string version = field("VERSION_ID"); !version.empty()) text += " " + version;
    if (!kernelRelease.empty()) text += " (" + std::string(kernelRelease) + ")";
    return text;
}

std::string systemVersionString() { return systemVersionString(readOSRelease(), kernelRelease()); }

}  // namespace tessary
