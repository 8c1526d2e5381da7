#pragma once

#include <string>

namespace tessary {

// The language part of the user's first interface language ("de" for de-DE), "en" when there is
// none: the release notes and every feedback report use it.
std::string preferredLanguage();

}  // namespace tessary
