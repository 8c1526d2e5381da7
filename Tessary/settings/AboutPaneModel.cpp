#include "Tessary/settings/AboutPaneModel.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

namespace tessary {

std::string releaseNoteHeading(std::string_view version) { return "What\u2019s New in " + std::string(version); }

std::string releaseNoteDate(Date date, std::string_view locale) {
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(icu::DateFormat::kLong, where));
    if (!format) return date.iso8601().value_or("").substr(0, 10);
    format->adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
    icu::UnicodeString text;
    format->format(date.unixTime() * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string changelogLinkLabel(std::string_view host) {
    return host.empty() ? std::string() : "All release notes on " + std::string(host);
}

}  // namespace tessary
