#include "Tessary/services/DocumentTrouble.h"

#include "Tessary/services/ZoneService.h"

namespace tessary {

namespace {

using Code = DocumentStoreError::Code;

std::string quoted(const std::filesystem::path& path) { return "\u201C" + path.filename().string() + "\u201D"; }

// "%1" and "%2" in one translated sentence (a sentence is never assembled from translated pieces).
std::string filled(std::string_view english, const std::string& first, const std::string& second = {}) {
    std::string text = ZoneService::localized(english);
    if (const auto at = text.find("%1"); at != std::string::npos) text.replace(at, 2, first);
    if (const auto at = text.find("%2"); at != std::string::npos) text.replace(at, 2, second);
    return text;
}

}  // namespace

std::string DocumentTrouble::aboutFile(std::string_view english, const std::filesystem::path& path) {
    return filled(english, quoted(path));
}

std::optional<DocumentTrouble> DocumentTrouble::of(const JSONDocumentFile& store, std::string fallback,
                                                   bool documentUsed) {
    const auto& trouble = store.loadTrouble();
    if (!trouble) return std::nullopt;
    return DocumentTrouble{*trouble, std::move(fallback), documentUsed && trouble->code == Code::newerVersion};
}

std::string DocumentTrouble::logLine() const {
    const std::string file = error.path.string();
    std::string line;
    switch (error.code) {
    case Code::decodingFailed:
        line = error.copy.empty() ? file + " could not be read and could not be set aside; it is left as it is and "
                                           "not written this session; starting with " + fallback
                                  : file + " could not be read and was set aside as " + error.copy.string() +
                                        (error.newCopy ? "" : " (as at an earlier start)") + "; starting with " + fallback;
        break;
    case Code::tooLarge:
        line = error.text() + " Starting with " + fallback + "; it is not written this session";
        break;
    case Code::newerVersion:
        line = file + " was written by a newer version of Tessary (version " + std::to_string(error.version) + "); " +
               (documentUsed ? std::string("using what this version can read of it")
                             : "this version cannot read it; starting with " + fallback) +
               ", and it is kept read-only: changes are not saved to it";
        break;
    default:
        line = file + " could not be read; it is left as it is and not written this session; starting with " + fallback;
        break;
    }
    if (!error.detail.empty() && error.code != Code::tooLarge) {
        line += error.code == Code::readFailed ? ". The system's message: " : ". The parser's message: ";
        line += error.detail;
    }
    return line;
}

// A damage met again (its bytes already set aside at an earlier start) is told too: this start
// begins from the fallback as well, and silence would look like lost data.
bool DocumentTrouble::worthTelling() const { return true; }

std::string DocumentTrouble::title() const {
    switch (error.code) {
    case Code::decodingFailed: return filled("%1 was damaged", quoted(error.path));
    case Code::newerVersion: return filled("%1 is kept read-only", quoted(error.path));
    default: return filled("%1 could not be read", quoted(error.path));
    }
}

std::string DocumentTrouble::body() const {
    switch (error.code) {
    case Code::decodingFailed:
        if (error.copy.empty()) {
            return filled("Tessary could not set it aside either, so it is left as it is and not saved to. "
                          "Tessary starts with %1.",
                          fallback);
        }
        if (!error.newCopy) {
            return filled("Its contents are the same as those set aside earlier as %1 in the same folder. Tessary "
                          "starts with %2.",
                          quoted(error.copy), fallback);
        }
        return filled("Its contents were set aside as %1 in the same folder. Tessary starts with %2.", quoted(error.copy),
                      fallback);
    case Code::newerVersion:
        return documentUsed ? ZoneService::localized(
                                  "It was written by a newer version of Tessary. This version uses what it can read "
                                  "of it and leaves the file as it is: changes made now are not saved.")
                            : filled("It was written by a newer version of Tessary, which this version cannot read. "
                                     "The file is left as it is and Tessary starts with %1; changes made now are not "
                                     "saved.",
                                     fallback);
    case Code::tooLarge:
        return filled("%1 Tessary starts with %2; changes made now are not saved.", error.text(), fallback);
    default:
        return filled("%1 It is left as it is and Tessary starts with %2; changes made now are not saved.",
                      error.text(), fallback);
    }
}

bool DocumentTrouble::isStandingRefusal(const DocumentStoreError& saveError) {
    return saveError.code == Code::newerVersion;
}

}  // namespace tessary
