#pragma once

// Text as a user counts it: limits on what a user typed ("at most 4000 characters") count
// user-perceived characters (extended grapheme clusters, through ICU), so a cut never splits an
// accent from its letter, a flag or a family emoji.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessary {

// The number of user-perceived characters. Ill-formed UTF-8 counts as its replacement characters.
std::size_t graphemeCount(std::string_view text);

// The first `count` user-perceived characters (all of the text when it has no more). The result is
// valid UTF-8.
std::string prefixOfGraphemes(std::string_view text, std::size_t count);

// The text without white space or line breaks (Unicode White_Space) at either end.
std::string trimmingWhitespaceAndNewlines(std::string_view text);

}  // namespace tessary
