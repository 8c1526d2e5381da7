#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/KeyValueSyncStore.h"
#include "Platform/Signal.h"

namespace tessary {

// A synchronised store held in memory, for tests and for running without a sync folder. It never
// announces anything by itself: whoever plays the other machine changes `values` and calls
// postChange().
class InMemorySyncStore final : public KeyValueSyncStore {
public:
    // The name of the change notice, as the store announces it.
    static constexpr std::string_view changeNotificationName = "InMemorySyncStore.changed";

    Expected<std::optional<std::string>, SyncStoreError> data(std::string_view key) override;
    Expected<void, SyncStoreError> set(std::optional<std::string_view> bytes, std::string_view key) override;
    // Under "KEY.unreadable-N", N counting from 1; bytes already kept under such a name are not
    // kept again.
    Expected<SetAsideCopy, SyncStoreError> setAside(std::string_view key, std::string_view bytes) override;
    // Counts the call and answers true.
    bool synchronize() override;
    Signal<>* changeNotification() override { return &changed_; }

    // Announces an outside change.
    void postChange() { changed_.emit(); }

    std::map<std::string, std::string, std::less<>> values;
    std::size_t synchronizeCount = 0;
    // Every accepted write in order, one line each: "set KEY" or "remove KEY".
    std::vector<std::string> writes;
    // When set, every set() fails with this reason and changes nothing (a full disk, say).
    std::optional<std::string> writeFailure;
    // How many set() calls writeFailure refused.
    std::size_t refusedWrites = 0;

private:
    Signal<> changed_;
};

}  // namespace tessary
