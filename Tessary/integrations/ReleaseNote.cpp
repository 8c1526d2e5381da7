#include "Tessary/integrations/ReleaseNote.h"

#include <algorithm>

#include "TessaryCore/TessaryInfo.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/UserText.h"

namespace tessary {

namespace {

constexpr std::string_view emDashSeparator = " \xE2\x80\x94 ";
constexpr std::string_view hyphenSeparator = " - ";

// The length of the line break at `i` (LF, VT, FF, CR, NEL, LS, PS), or 0.
std::size_t lineBreakAt(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x0A && byte <= 0x0D) return 1;
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("\xC2\x85")) return 2;
    if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;
    return 0;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = lineBreakAt(text, i)) {
            result.push_back(text.substr(start, i - start));
            i += length;
            start = i;
        } else {
            ++i;
        }
    }
    result.push_back(text.substr(start));
    return result;
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t found = text.find(separator); found != std::string_view::npos;
         found = text.find(separator, start)) {
        parts.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

// "yyyy-MM-dd" as midnight UTC of a real calendar day.
std::optional<Date> parseDay(std::string_view text) {
    if (text.size() != 10) return std::nullopt;
    return Date::parsingISO8601(std::string(text) + "T00:00:00Z");
}

bool isLanguageCode(std::string_view language) {
    return !language.empty() && language.size() <= 35 && std::all_of(language.begin(), language.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

}  // namespace

ReleaseNote ReleaseNote::parseHeading(std::string_view text) {
    std::vector<std::string_view> parts = split(text, emDashSeparator);
    if (parts.size() == 1) parts = split(text, hyphenSeparator);

    ReleaseNote note;
    note.version = trimmingSpacesAndTabs(parts[0]);
    const std::string productPrefix = std::string(TessaryInfo::productName) + " ";
    if (note.version.starts_with(productPrefix)) note.version.erase(0, productPrefix.size());
    if (parts.size() >= 2) note.date = parseDay(trimmingSpacesAndTabs(parts[1]));
    return note;
}

std::vector<ReleaseNote> ReleaseNote::parse(std::string_view input) {
    const std::string text = validUTF8(input);
    std::vector<ReleaseNote> notes;
    bool inComment = false;
    for (const std::string_view raw : lines(text)) {
        const std::string line = trimmingSpacesAndTabs(raw);
        if (inComment || line.starts_with("<!--")) {
            inComment = line.find("-->") == std::string::npos;
            continue;
        }
        if (line.starts_with("## ")) {
            notes.push_back(parseHeading(std::string_view(line).substr(3)));
            continue;
        }
        if (notes.empty()) continue;
        ReleaseNote& note = notes.back();
        if (line.starts_with("**") && line.ends_with("**") && graphemeCount(line) >= 5) {
            note.sections.push_back({line.substr(2, line.size() - 4), {}});
        } else if (line.starts_with("- ")) {
            if (note.sections.empty()) note.sections.push_back({});
            note.sections.back().items.push_back(trimmingSpacesAndTabs(std::string_view(line).substr(2)));
        }
    }
    return notes;
}

std::vector<ReleaseNote> ReleaseNote::load(std::string_view language, const ResourceReader& read) {
    std::optional<std::string> text;
    if (isLanguageCode(language)) text = read("ReleaseNotes." + std::string(language) + ".md");
    if (!text) text = read("ReleaseNotes.md");
    if (!text || !isValidUTF8(*text)) return {};
    return parse(*text);
}

}  // namespace tessary
