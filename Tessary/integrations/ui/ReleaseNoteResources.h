#pragma once

// The release notes compiled into the program (Qt resources under ":/releasenotes/").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tessary/integrations/ReleaseNote.h"

namespace tessary {

// The resource of that name ("ReleaseNotes.md"), or nothing.
std::optional<std::string> readReleaseNotesResource(std::string_view name);

// The program's notes in the preferred language: read once, on first use, from any thread, and
// kept for the life of the process.
const std::vector<ReleaseNote>& allReleaseNotes();

}  // namespace tessary
