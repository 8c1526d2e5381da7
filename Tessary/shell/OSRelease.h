#pragma once

// The distribution's identification file (os-release), read as data: its shell-like quoting is
// undone by these rules alone and no shell ever sees the text, which is sent with feedback.
//
// Rules: "KEY=value" lines, "#" comments and blank lines ignored; a value in double quotes takes
// a backslash before one of " \ $ ` as that character (other backslashes stay); a value in single
// quotes is literal; an unquoted value takes a backslash before any character as that character.
// A line whose quote is never closed, or whose key is not a shell name, is skipped. Control
// characters are dropped and ill-formed UTF-8 is replaced; a later key wins over an earlier one.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

using OSReleaseFields = std::map<std::string, std::string, std::less<>>;

OSReleaseFields parseOSRelease(std::string_view text);

// Text of the system made fit to show and send: valid UTF-8 without control characters.
std::string withoutControlCharacters(std::string_view text);

// The text of the first file that can be read: /etc/os-release, then /usr/lib/os-release.
std::optional<std::string> readOSRelease(const std::vector<std::string>& paths = {"/etc/os-release",
                                                                                  "/usr/lib/os-release"});

}  // namespace tessary
