#pragma once

// What a service says when its document could not be used as it is: one log line in the program's
// words (the parser's or the system's own message after it), and what the user is told where they
// look (the delegate shows it as a notice). Every start that meets a document it cannot use tells
// it, a damage whose bytes were set aside at an earlier start included.

#include <filesystem>
#include <optional>
#include <string>

#include "Platform/Logger.h"
#include "TessaryCore/JSONDocumentStore.h"

namespace tessary {

struct DocumentTrouble {
    DocumentStoreError error;
    // What the service holds instead, as a user says it: "the starter layouts", "no rules".
    std::string fallback;
    // Whether the service uses the document as far as it was read (a newer program's that decoded).
    bool documentUsed = false;

    // The trouble of a store's last load, if any.
    static std::optional<DocumentTrouble> of(const JSONDocumentFile& store, std::string fallback, bool documentUsed);

    // "rules.json could not be read and was set aside as /…/rules.json.unreadable; starting with no
    // rules. The parser's message: …"
    std::string logLine() const;
    bool worthTelling() const;
    std::string title() const;
    std::string body() const;
    // The folder holding the file (and its copy), for the notice's action.
    std::filesystem::path folder() const { return error.path.parent_path(); }
    // Whether saves are refused for the session (so each refusal need not be logged again).
    static bool isStandingRefusal(const DocumentStoreError& saveError);
    // The translated sentence with the file's name, in quotation marks, for its "%1".
    static std::string aboutFile(std::string_view english, const std::filesystem::path& path);
};

// Loads the store's document into `document`, which stays as it is when there is none or it cannot
// be used; logs what was wrong with the file, and gives it.
template <typename Document>
std::optional<DocumentTrouble> loadDocument(JSONDocumentStore<Document>& store, Document& document, const Logger& log,
                                            std::string fallback) {
    auto loaded = store.load();
    if (loaded && loaded.value()) document = std::move(*loaded.value());
    auto trouble = DocumentTrouble::of(store, std::move(fallback), loaded.hasValue());
    if (trouble) log.error(trouble->logLine());
    return trouble;
}

}  // namespace tessary
