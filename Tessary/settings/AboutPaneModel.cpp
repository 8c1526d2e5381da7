#include "Tessary/settings/AboutPaneModel.h"

#include "Tessary/settings/DateText.h"

namespace tessary {

std::string releaseNoteHeading(std::string_view version) { return "What\u2019s New in " + std::string(version); }

std::string releaseNoteDate(Date date, std::string_view locale) {
    // Release dates are days, stored at midnight UTC.
    return dateText(date, DateTextStyle::longStyle, DateTextStyle::none, locale, "UTC");
}

std::string changelogLinkLabel(std::string_view host) {
    return host.empty() ? std::string() : "All release notes on " + std::string(host);
}

}  // namespace tessary
