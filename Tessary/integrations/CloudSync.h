#pragma once

// Keeps the layouts, the rules and the workspaces in step with other machines through a
// synchronised store (the sync folder). Each document is stored whole under its own key as the
// same JSON text as its local file.
//
// - A pull reads every key, merges each stored document into the local one (newest change wins,
//   deletions travel as tombstones), replaces the local document only when the merge differs from
//   it, and ends with a push.
// - A push writes a key only when the stored document lacks something of the local one, so that
//   peers that exchanged their documents once go quiet instead of rewriting them for ever. What it
//   reads is merged into the local document first, as a pull would: the store counts a value it
//   gave as read, so a peer's write that a push read and did not take would never come again. A stored
//   value that does not decode (garbage, a truncated file, bytes that are not text) is copied aside
//   under a dated name and replaced by the local document, so that one bad file does not stop the
//   sync for good; onSetAside tells of it, once for each copy (the same bytes met again are not
//   copied or told again). A value that cannot be read at all, or a newer version's that does not
//   decode, is never overwritten, and its read error stays in lastError until a pull reads it again.
//   A newer version's value that decodes is merged as far as it was read and never written over
//   either (what this version cannot read would be lost); lastError says so while it is there.
// - A local change is pushed 2 s after the last one, through the scheduler. A push that could not
//   write (a read-only folder, a full disk) is tried again on SaveRetry's schedule (1, 2, 4 … 30 s
//   apart) until one works; while the folder is gone nothing is tried, as the store announces its
//   return, and the pull that follows pushes at once. hasPendingChanges() says whether a change is
//   still to reach the store, so that nothing says "Up to date" meanwhile.
// - Nothing happens unless the sync is available (decided once, when the object is made) and the
//   user has it switched on; started() must also have been called.
//
// Main loop only. The services' slots and the store's notice hold the object weakly: once it is
// destroyed they do nothing.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/KeyValueSyncStore.h"
#include "Platform/Logger.h"
#include "Platform/RetryTimer.h"
#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/SaveRetry.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/Date.h"

namespace tessary {

class CloudSync final {
public:
    enum class Availability {
        available,
        // On Linux: no sync folder is chosen, or it is not a writable folder.
        missingEntitlement,
    };

    static constexpr std::string_view layoutsKey = "layouts.v1";
    static constexpr std::string_view rulesKey = "rules.v1";
    static constexpr std::string_view workspacesKey = "workspaces.v1";
    static constexpr std::chrono::seconds uploadDelay{2};

    // Does nothing but keep what it is given: no store access, no hooks.
    CloudSync(KeyValueSyncStore& store, ZoneService& zones, RuleService& rules, WorkspaceService& workspaces,
              std::function<bool()> isEnabled, Availability availability, Scheduler& scheduler,
              std::function<Date()> wallClock = [] { return Date::now(); });
    ~CloudSync();
    CloudSync(const CloudSync&) = delete;
    CloudSync& operator=(const CloudSync&) = delete;

    Availability availability() const { return availability_; }
    // The time of the last push that wrote (or found nothing to write) without failing; this run only.
    std::optional<Date> lastSync() const { return lastSync_; }
    // The sentence of the last failure; cleared by the next pull or push that succeeds. Every stored
    // document that cannot be read is named, one line each.
    const std::optional<std::string>& lastError() const { return lastError_; }
    // The keys whose stored value cannot be read now, in key order.
    std::vector<std::string> unreadableKeys() const;
    bool started() const { return started_; }
    bool isEnabled() const { return isEnabled_ && isEnabled_(); }
    // True only while a pull runs, or a push takes in what the store holds.
    bool applyingRemote() const { return applyingRemote_; }
    // Whether a local change waits for its push (the upload delay, a push that failed, a folder gone).
    bool hasPendingChanges() const { return pending_; }
    // Told with the key and the name of the copy when a stored value that did not decode was set
    // aside (and replaced by the local document).
    std::function<void(const std::string& key, const std::string& copy)> onSetAside;
    // Told whenever lastSync, lastError, started or hasPendingChanges changes.
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }

    // Once, at launch: hooks the services' change slots and the store's change notice, then pulls
    // when sync is on. Does nothing when unavailable or already started.
    void start();
    void pull();
    void push();
    // The store's change notice: a pull.
    void externalChange();
    // A local change: one push 2 s after the last of a run of changes.
    void scheduleUpload();
    // At quit: pushes at once what still waits (a change made in the last 2 s, a failed push).
    void flush();

    // "Could not read sync folder data: " and "Could not write sync folder data: " with the reason.
    static std::string readErrorText(const std::string& reason);
    static std::string writeErrorText(const std::string& reason);

private:
    template <typename Document>
    struct Key;
    // Why a stored value could not be used: the sentence the user reads, and for the log what the
    // decoder said (nothing a user can act on).
    struct ReadFailure {
        std::string text;
        std::string detail;
        // The store's own failure, when it could not give the bytes.
        std::optional<SyncStoreError::Code> storeCode = std::nullopt;
        // The bytes, when they are this version's and do not decode: safe to set aside and replace.
        std::optional<std::string> damaged = std::nullopt;

        std::string logText() const { return detail.empty() ? text : text + " (" + detail + ")"; }
    };

    bool guardHolds() const;
    // Calls `action` with each key's description, in the order every operation handles them, while
    // it answers true.
    template <typename Action>
    void forEachKey(Action action);
    template <typename Document>
    void pullKey(const Key<Document>& key);
    // Merges a stored document into the local one and replaces the local one when that differs.
    template <typename Document>
    void takeIn(const Key<Document>& key, const Document& stored);
    // False when the push must stop (a value could not be encoded or written).
    template <typename Document>
    bool pushKey(const Key<Document>& key);
    // A stored document (nothing when the key holds none), and whether a newer version wrote it.
    template <typename Document>
    struct Stored {
        std::optional<Document> document;
        bool newer = false;
    };
    template <typename Document>
    Expected<Stored<Document>, ReadFailure> readStored(std::string_view key);
    // Keeps (and logs once) or forgets that a key holds a newer version's document.
    void noteNewer(std::string_view key, std::optional<std::int64_t> version);
    // Copies a value that does not decode aside; false when that failed (it then stays as it is).
    bool setAsideDamaged(std::string_view key, const ReadFailure& failure);
    void setState(std::optional<Date> lastSync, std::optional<std::string> lastError);
    void setPending(bool pending);
    std::optional<std::string> readErrorNow() const;

    KeyValueSyncStore& store_;
    ZoneService& zones_;
    RuleService& rules_;
    WorkspaceService& workspaces_;
    std::function<bool()> isEnabled_;
    const Availability availability_;
    Scheduler& scheduler_;
    std::function<Date()> wallClock_;

    std::optional<Date> lastSync_;
    std::optional<std::string> lastError_;
    ScheduledTask uploadTask_;
    bool applyingRemote_ = false;
    // Whether the last push found the store's folder gone (so it synchronised nothing).
    bool folderGone_ = false;
    // Whether the last push failed to write for a cause that may pass.
    bool writeRefused_ = false;
    bool pending_ = false;
    RetryTimer pushRetry_{scheduler_, SaveRetry::firstDelay, SaveRetry::longestDelay, [this] { push(); }};
    bool started_ = false;
    // Keys whose stored value could not be read or decoded, with the reason, until a read succeeds.
    std::map<std::string, std::string, std::less<>> unreadable_;
    // Keys holding a newer version's document, with the sentence that says so, until one is not.
    std::map<std::string, std::string, std::less<>> newer_;
    Subscription storeChanges_;
    // The weak handle the hooks hold.
    std::shared_ptr<CloudSync*> self_ = std::make_shared<CloudSync*>(this);
    Signal<> changed_;
    Logger log_{"CloudSync"};
};

}  // namespace tessary
