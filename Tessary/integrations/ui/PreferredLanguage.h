#pragma once

#include <string>

#include <QStringList>

namespace tessary {

// The language part of the first of `uiLanguages` ("de" for "de-DE"); "en" when there is none
// or the first is the C locale, which names no language.
std::string preferredLanguage(const QStringList& uiLanguages);
// The same for the user's interface languages: the release notes and every feedback report use it.
std::string preferredLanguage();

}  // namespace tessary
