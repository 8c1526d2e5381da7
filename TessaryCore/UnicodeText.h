#pragma once

// Text from outside (window titles from other programs, application classes, display names) is
// made valid UTF-8 where it enters the model, and compared the way users expect: canonically
// equivalent texts are the same text.

#include <cstdint>
#include <string>
#include <string_view>

namespace tessary {

// The text with every ill-formed UTF-8 sequence replaced by U+FFFD (one per maximal ill-formed
// subpart, as Unicode recommends); valid text comes back unchanged.
std::string validUTF8(std::string_view text);
bool isValidUTF8(std::string_view text);

// Equal under Unicode canonical equivalence ("é" precomposed equals "e" and a combining accent);
// case and compatibility forms still differ.
bool canonicallyEqual(std::string_view a, std::string_view b);

// The same text for a user, in the current locale, ignoring letter case (accents still count).
bool localizedCaseInsensitiveEqual(std::string_view a, std::string_view b);

// The text without Unicode space separators (general category Zs) and tabs at either end; line
// breaks stay.
std::string trimmingSpacesAndTabs(std::string_view text);

// The text without the code points for which `trimmed` is true at either end.
std::string trimmingCharacters(std::string_view text, bool (*trimmed)(std::int32_t codePoint));

}  // namespace tessary
