#pragma once

// Follows the saves of one document. A save that fails is logged and told to the user once per
// cause (the code and the system's reason), not once per attempt: a service saves after every
// change, so an unwritable folder would otherwise flood both. A save that works after failing is
// logged and told too, so the user knows the changes made meanwhile reached the file. A standing
// refusal (a newer version's file, one that could not be read) was told at the start: it only
// reaches the log at debug level. Whatever the cause, failure() holds it until a save works, so a
// command that asked for the change can say that it was not saved.

#include <functional>
#include <optional>
#include <string>

#include "Platform/Logger.h"
#include "TessaryCore/Expected.h"
#include "TessaryCore/JSONDocumentStore.h"

namespace tessary {

class SaveReport final {
public:
    struct Notice {
        std::string title;
        std::string body;
        // The folder of the file, for the notice's action.
        std::filesystem::path folder;
    };

    // `what` names the document in failureText(): "workspaces", "layouts"; a failure's log line
    // starts with `logPrefix` unless record() is given another.
    SaveReport(std::string what, std::string logPrefix) : what_(std::move(what)), logPrefix_(std::move(logPrefix)) {}

    void record(const Expected<void, DocumentStoreError>& saved, const Logger& log,
                std::optional<std::string_view> logPrefix = std::nullopt);
    // Saves the document through its store, merging in first what another instance of the program
    // wrote to the file (the store's merge), and records how it went. True when the merge changed
    // `document`, which then holds what was written.
    template <JSONDocument Document>
    bool save(JSONDocumentStore<Document>& store, Document& document, const Logger& log,
              std::optional<std::string_view> logPrefix = std::nullopt) {
        auto saved = store.saveMerging(document);
        if (!saved) {
            record(unexpected(saved.error()), log, logPrefix);
            return false;
        }
        const bool merged = saved.value().has_value();
        if (merged) document = std::move(*saved.value());
        record({}, log, logPrefix);
        return merged;
    }
    // Where notices go; a failure met before it was set is told at once.
    void setOnNotice(std::function<void(const Notice&)> onNotice);

    // The cause of the last save's failure; nothing once a save worked.
    const std::optional<DocumentStoreError>& failure() const { return failure_; }
    // Whether the last save failed for a cause that may pass (a folder that cannot be written now,
    // a full disk, a file that cannot be read now), so that trying again is worth it.
    bool failedForNow() const;
    // "Quitting with workspaces unsaved: …", for the log line of a way out that could not save.
    std::string unsavedText() const;
    // Told after every record(), once the outcome is noted (SaveRetry's hook).
    std::function<void()> afterRecord;
    // "Could not save workspaces: The file “workspaces.json” could not be saved: …", for a command.
    std::string failureText() const;

private:
    void note(const Expected<void, DocumentStoreError>& saved, const Logger& log,
              std::optional<std::string_view> logPrefix);
    void tell(Notice notice);
    static bool sameCause(const DocumentStoreError& a, const DocumentStoreError& b) {
        return a.code == b.code && a.path == b.path && a.detail == b.detail;
    }

    std::string what_;
    std::string logPrefix_;
    std::optional<DocumentStoreError> failure_;
    // The failure nobody was told of yet (no notice hook then).
    std::optional<Notice> untold_;
    std::function<void(const Notice&)> onNotice_;
};

}  // namespace tessary
