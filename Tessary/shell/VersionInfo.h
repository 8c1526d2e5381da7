#pragma once

// What the program says about its own version and the system it runs on: the About window, the
// settings and every feedback report show these. The version comes from the CMake project, the
// build number and copyright notice from build options (empty unless a packager sets them).

#include <optional>
#include <string>
#include <string_view>

namespace tessary {

// The project version ("0.1.0"); "–" (an en dash) if it were ever empty.
std::string shortVersionString();
// The build number, or the empty text.
std::string buildVersionString();
// The copyright notice, or the empty text (then nothing shows it).
std::string copyrightString();

// "1.4 (27)", or "1.4" without a build; an empty short version reads "–".
std::string appVersionString(std::string_view shortVersion, std::string_view buildVersion);
std::string appVersionString();

// The distribution's NAME and VERSION_ID from os-release and the kernel release in parentheses:
// "Debian GNU/Linux 12 (6.1.0-18-amd64)". NAME defaults to "Linux" as os-release prescribes; a
// missing VERSION_ID or kernel release is left out with its blank.
std::string systemVersionString(const std::optional<std::string>& osReleaseText, std::string_view kernelRelease);
std::string systemVersionString();

}  // namespace tessary
