#pragma once

// The program's release notes: a small subset of Markdown compiled into the program as
// "ReleaseNotes.md" (optionally "ReleaseNotes.<language>.md"), parsed into versions, each with an
// optional date and titled sections of bullet items. Parsing never fails; what it does not
// understand it skips. The format, line by line after trimming spaces and tabs:
//
//   <!-- ... -->          a comment, over one line or several; the closing line is skipped too
//   ## Tessary 1.2 — 2025-03-04   a new version (" - " also separates; the date may be missing)
//   **Title**             a section (at least five characters)
//   - item                an item; items before any title go into a section titled ""
//
// Everything before the first heading, and every other line, is ignored.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TessaryCore/Date.h"

namespace tessary {

struct ReleaseNote {
    struct Section {
        std::string title;
        std::vector<std::string> items;

        friend bool operator==(const Section&, const Section&) = default;
    };

    std::string version;
    std::optional<Date> date;
    std::vector<Section> sections;

    friend bool operator==(const ReleaseNote&, const ReleaseNote&) = default;

    // Gives the resource of that name ("ReleaseNotes.de.md"), or nothing when there is none.
    using ResourceReader = std::function<std::optional<std::string>(std::string_view name)>;

    // The notes in file order. Text that is not valid UTF-8 is read with replacement characters.
    static std::vector<ReleaseNote> parse(std::string_view text);
    // The text after "## ": version (without a leading "Tessary ") and date; no sections.
    static ReleaseNote parseHeading(std::string_view text);
    // The notes of "ReleaseNotes.<language>.md", else of "ReleaseNotes.md"; an empty list when
    // neither exists or the text is not valid UTF-8.
    static std::vector<ReleaseNote> load(std::string_view language, const ResourceReader& read);
};

}  // namespace tessary
