#include "Tessary/integrations/CloudSync.h"

#include <algorithm>
#include <utility>

#include "TessaryCore/JSONDocumentStore.h"

namespace tessary {

// One synchronised document: its key, its owner's copy, its merge and the owner's wholesale replace.
template <typename Document>
struct CloudSync::Key {
    std::string_view name;
    const Document& local;
    Document (*merge)(const Document& local, const Document& remote);
    std::function<void(Document)> replace;
};

CloudSync::CloudSync(KeyValueSyncStore& store, ZoneService& zones, RuleService& rules, WorkspaceService& workspaces,
                     std::function<bool()> isEnabled, Availability availability, Scheduler& scheduler,
                     std::function<Date()> wallClock)
    : store_(store),
      zones_(zones),
      rules_(rules),
      workspaces_(workspaces),
      isEnabled_(std::move(isEnabled)),
      availability_(availability),
      scheduler_(scheduler),
      wallClock_(std::move(wallClock)) {}

CloudSync::~CloudSync() { scheduler_.cancel(uploadTask_); }

std::string CloudSync::readErrorText(const std::string& reason) {
    return ZoneService::localized("Could not read sync folder data: ") + reason;
}

std::string CloudSync::writeErrorText(const std::string& reason) {
    return ZoneService::localized("Could not write sync folder data: ") + reason;
}

template <typename Action>
void CloudSync::forEachKey(Action action) {
    if (!action(Key<LayoutLibrary>{layoutsKey, zones_.library(), SyncMerge::mergeLayouts, [this](LayoutLibrary library) {
            zones_.updateLibrary([&](LayoutLibrary& current) { current = std::move(library); });
        }})) {
        return;
    }
    if (!action(Key<RuleSet>{rulesKey, rules_.ruleSet(), SyncMerge::mergeRules,
                             [this](RuleSet ruleSet) { rules_.replaceRuleSet(std::move(ruleSet)); }})) {
        return;
    }
    action(Key<WorkspaceLibrary>{workspacesKey, workspaces_.library(), SyncMerge::mergeWorkspaces,
                                 [this](WorkspaceLibrary library) { workspaces_.replaceLibrary(std::move(library)); }});
}

bool CloudSync::guardHolds() const {
    return started_ && availability_ == Availability::available && isEnabled();
}

void CloudSync::start() {
    if (started_ || availability_ != Availability::available) return;
    started_ = true;
    changed_.emit();
    const std::weak_ptr<CloudSync*> weak = self_;
    const auto upload = [weak] {
        if (const auto self = weak.lock()) (*self)->scheduleUpload();
    };
    zones_.onChanged = upload;
    rules_.onChanged = upload;
    workspaces_.onChanged = upload;
    if (Signal<>* notice = store_.changeNotification()) {
        storeChanges_ = notice->subscribe([weak] {
            if (const auto self = weak.lock()) (*self)->externalChange();
        });
    }
    if (isEnabled()) pull();
}

template <typename Document>
Expected<CloudSync::Stored<Document>, CloudSync::ReadFailure> CloudSync::readStored(std::string_view key) {
    // The file's name and what happens to it, in words; the decoder's own message goes to the log.
    const auto undecodable = [key](std::string detail) {
        std::string text = ZoneService::localized(
            "\u201C%@\u201D in the sync folder is damaged or was written by a newer version of Tessary. "
            "It is left as it is and synchronised again once it can be read.");
        if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, key);
        return ReadFailure{std::move(text), std::move(detail)};
    };
    auto bytes = store_.data(key);
    if (!bytes && bytes.error().bytes) {
        // Bytes that are not text are no document, of this version or any: damaged like garbage.
        ReadFailure failure = undecodable(bytes.error().text());
        failure.damaged = std::move(*bytes.error().bytes);
        return unexpected(std::move(failure));
    }
    if (!bytes) return unexpected(ReadFailure{bytes.error().text(), {}, bytes.error().code});
    if (!bytes.value()) return Stored<Document>{};
    auto reading = JSONDocumentStore<Document>::read(*bytes.value());
    if (!reading.document) {
        ReadFailure failure = undecodable(reading.document.error().detail);
        // A newer version's file that this one cannot decode may be sound: it stays.
        if (!reading.newerVersion) failure.damaged = std::move(*bytes.value());
        return unexpected(std::move(failure));
    }
    noteNewer(key, reading.newerVersion);
    return Stored<Document>{std::move(reading.document.value()), reading.newerVersion.has_value()};
}

void CloudSync::noteNewer(std::string_view key, std::optional<std::int64_t> version) {
    if (!version) {
        newer_.erase(std::string(key));
        return;
    }
    if (newer_.contains(key)) return;
    std::string text = ZoneService::localized(
        "\u201C%@\u201D in the sync folder was written by a newer version of Tessary. This version reads it but "
        "does not write over it, so changes made here are not synchronised until Tessary is updated.");
    if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, key);
    newer_.emplace(std::string(key), std::move(text));
    log_.error("leaving " + std::string(key) + " as it is: written by a newer version of Tessary (version " +
               std::to_string(*version) + "); what this version can read of it is merged");
}

bool CloudSync::setAsideDamaged(std::string_view key, const ReadFailure& failure) {
    auto copy = store_.setAside(key, *failure.damaged);
    if (!copy) {
        log_.error("could not set " + std::string(key) + " aside (" + copy.error().text() + "); it is left as it is");
        return false;
    }
    const std::string name = copy.value().path.string();
    if (!copy.value().isNew) {
        // The same damage again: its copy is there already, and the user was told of it then.
        log_.error(std::string(key) + " held what was already set aside as " + name +
                   "; this machine's copy replaces it");
        return true;
    }
    log_.error("set " + std::string(key) + " aside as " + name + " (" + failure.detail +
               "); this machine's copy replaces it");
    if (onSetAside) onSetAside(std::string(key), name);
    return true;
}

template <typename Document>
void CloudSync::pullKey(const Key<Document>& key) {
    auto stored = readStored<Document>(key.name);
    if (!stored && stored.error().damaged) {
        // The push that ends the pull sets it aside and writes this machine's copy in its place.
        unreadable_.erase(std::string(key.name));
        return;
    }
    if (!stored) {
        unreadable_.insert_or_assign(std::string(key.name), stored.error().text);
        log_.error("pull failed: " + stored.error().logText());
        return;
    }
    unreadable_.erase(std::string(key.name));
    if (stored.value().document) takeIn(key, *stored.value().document);
}

template <typename Document>
void CloudSync::takeIn(const Key<Document>& key, const Document& stored) {
    Document merged = key.merge(key.local, stored);
    if (merged == key.local) return;
    // The replacement's onChanged schedules no upload: the push under way writes what it must.
    const bool applying = std::exchange(applyingRemote_, true);
    key.replace(std::move(merged));
    applyingRemote_ = applying;
}

template <typename Document>
bool CloudSync::pushKey(const Key<Document>& key) {
    auto stored = readStored<Document>(key.name);
    if (!stored && stored.error().storeCode == SyncStoreError::Code::folderGone) folderGone_ = true;
    const bool replacing = !stored && stored.error().damaged && setAsideDamaged(key.name, stored.error());
    if (!stored && !replacing) {
        // Whatever is there may be a newer version's document or a peer's unfinished one: it stays.
        const bool known = unreadable_.find(key.name) != unreadable_.end();
        unreadable_.insert_or_assign(std::string(key.name), stored.error().text);
        if (!known) log_.error("left " + std::string(key.name) + " as it is: " + stored.error().logText());
        return true;
    }
    if (!replacing) {
        const std::optional<Document>& storedDocument = stored.value().document;
        // What the stored copy holds that this one lacks (a peer wrote it since this machine's last
        // pull) is taken in now: the store counts it as read, so no later notice brings it.
        if (storedDocument) takeIn(key, *storedDocument);
        // A newer version's document loses what this version cannot read when written: it stays.
        if (stored.value().newer) return true;
        // Written only when the stored copy lacks something of ours; the merge keeps the stored side's
        // order and default, so peers with the same items in another order leave each other alone.
        if (storedDocument && key.merge(*storedDocument, key.local) == *storedDocument) return true;
    }

    auto text = JSONDocumentStore<Document>::encode(key.local);
    if (!text) {
        const std::string reason = text.error().text();
        setState(lastSync_, writeErrorText(reason));
        log_.error("push failed: " + reason);
        return false;
    }
    if (auto written = store_.set(std::string_view(text.value()), key.name); !written) {
        const SyncStoreError::Code code = written.error().code;
        folderGone_ = folderGone_ || code == SyncStoreError::Code::folderGone;
        writeRefused_ = code == SyncStoreError::Code::writeFailed;
        const std::string reason = written.error().text();
        // Tried again for as long as the folder refuses: logged once for each reason.
        if (lastError_ != writeErrorText(reason)) log_.error("push failed: " + reason);
        setState(lastSync_, writeErrorText(reason));
        return false;
    }
    unreadable_.erase(std::string(key.name));
    return true;
}

void CloudSync::pull() {
    if (!guardHolds()) return;
    applyingRemote_ = true;
    forEachKey([this](const auto& key) {
        pullKey(key);
        return true;
    });
    setState(lastSync_, readErrorNow());
    push();
    applyingRemote_ = false;
}

void CloudSync::push() {
    if (!guardHolds()) return;
    bool written = true;
    folderGone_ = false;
    writeRefused_ = false;
    forEachKey([&](const auto& key) {
        written = pushKey(key);
        return written;
    });
    if (!written || folderGone_) {
        // Tried again while the folder refuses; a folder that is gone announces its return.
        if (writeRefused_) {
            pushRetry_.failed();
        } else {
            pushRetry_.succeeded();
        }
        // Nothing reached the folder: the time of the last sync stays, the pane says why.
        if (written) setState(lastSync_, readErrorNow());
        return;
    }
    pushRetry_.succeeded();
    store_.synchronize();
    setState(wallClock_(), readErrorNow());
    setPending(false);
}

void CloudSync::flush() {
    if (!guardHolds() || !pending_) return;
    scheduler_.cancel(uploadTask_);
    pushRetry_.cancel();
    push();
}

void CloudSync::externalChange() {
    if (guardHolds()) pull();
}

void CloudSync::scheduleUpload() {
    if (!guardHolds() || applyingRemote_) return;
    setPending(true);
    scheduler_.cancel(uploadTask_);
    const std::weak_ptr<CloudSync*> weak = self_;
    uploadTask_ = scheduler_.schedule(uploadDelay, [weak] {
        if (const auto self = weak.lock()) (*self)->push();
    });
}

std::vector<std::string> CloudSync::unreadableKeys() const {
    std::vector<std::string> keys;
    for (const std::string_view key : {layoutsKey, rulesKey, workspacesKey}) {
        if (unreadable_.find(key) != unreadable_.end()) keys.emplace_back(key);
    }
    return keys;
}

std::optional<std::string> CloudSync::readErrorNow() const {
    // Every unreadable document, each on its own line, in key order: the same text whichever
    // operation found them, and none of them left unnamed behind the first. A value that can be
    // read but is only left unwritten (a newer version's) is told when none is unreadable.
    std::string reasons;
    std::vector<std::string_view> said;
    for (const std::string& key : unreadableKeys()) {
        // A folder that is gone fails every key alike: said once.
        const std::string& reason = unreadable_.find(key)->second;
        if (std::find(said.begin(), said.end(), reason) != said.end()) continue;
        said.push_back(reason);
        if (!reasons.empty()) reasons += "\n";
        reasons += reason;
    }
    if (!reasons.empty()) return readErrorText(reasons);
    for (const std::string_view key : {layoutsKey, rulesKey, workspacesKey}) {
        if (const auto found = newer_.find(key); found != newer_.end()) return found->second;
    }
    return std::nullopt;
}

void CloudSync::setPending(bool pending) {
    if (pending == pending_) return;
    pending_ = pending;
    changed_.emit();
}

void CloudSync::setState(std::optional<Date> lastSync, std::optional<std::string> lastError) {
    if (lastSync == lastSync_ && lastError == lastError_) return;
    lastSync_ = lastSync;
    lastError_ = std::move(lastError);
    changed_.emit();
}

}  // namespace tessary
