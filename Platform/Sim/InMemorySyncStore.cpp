#include "Platform/Sim/InMemorySyncStore.h"

namespace tessary {

Expected<std::optional<std::string>, SyncStoreError> InMemorySyncStore::data(std::string_view key) {
    const auto found = values.find(key);
    if (found == values.end()) return std::optional<std::string>();
    return std::optional<std::string>(found->second);
}

Expected<void, SyncStoreError> InMemorySyncStore::set(std::optional<std::string_view> bytes, std::string_view key) {
    if (writeFailure) {
        ++refusedWrites;
        return unexpected(SyncStoreError{SyncStoreError::Code::writeFailed, std::string(key), *writeFailure});
    }
    if (bytes) {
        values.insert_or_assign(std::string(key), std::string(*bytes));
        writes.push_back("set " + std::string(key));
    } else {
        if (const auto found = values.find(key); found != values.end()) values.erase(found);
        writes.push_back("remove " + std::string(key));
    }
    return {};
}

Expected<SetAsideCopy, SyncStoreError> InMemorySyncStore::setAside(std::string_view key, std::string_view bytes) {
    const std::string prefix = std::string(key) + ".unreadable-";
    for (const auto& [name, value] : values) {
        if (name.starts_with(prefix) && value == bytes) return SetAsideCopy{name, false};
    }
    if (writeFailure) return unexpected(SyncStoreError{SyncStoreError::Code::writeFailed, std::string(key), *writeFailure});
    std::string name;
    for (int n = 1; name.empty() || values.contains(name); ++n) name = std::string(key) + ".unreadable-" + std::to_string(n);
    values.emplace(name, std::string(bytes));
    writes.push_back("set aside " + std::string(key) + " as " + name);
    return SetAsideCopy{name, true};
}

bool InMemorySyncStore::synchronize() {
    ++synchronizeCount;
    return true;
}

}  // namespace tessary
