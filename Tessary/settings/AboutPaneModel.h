#pragma once

// The About pane's texts: each release note's heading and date, and the change-log link's label.

#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/Date.h"

namespace tessary {

// "What’s New in 1.2".
std::string releaseNoteHeading(std::string_view version);
// The locale's long date without a weekday ("March 4, 2025" in English), read in UTC, where
// release dates are stored. `locale` as ICU names it; empty is ICU's default.
std::string releaseNoteDate(Date date, std::string_view locale = {});
// "All release notes on tessary.example"; empty when the build names no site.
std::string changelogLinkLabel(std::string_view host);

}  // namespace tessary
