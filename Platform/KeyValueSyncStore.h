#pragma once

// The store that synchronised documents travel through: a few values by key, each the whole JSON
// text of one document ("layouts.v1", "rules.v1", "workspaces.v1"), and a notice when another
// machine changed them.
//
// Policy: reads and writes are synchronous and run on the main loop. A store never announces its
// own writes, only changes from outside, and it announces a burst of outside changes once. Every
// failure is a value with its sentence; nothing is retried here.

#include <optional>
#include <string>
#include <string_view>

#include "Platform/Signal.h"
#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/Expected.h"

namespace tessary {

struct SyncStoreError {
    enum class Code {
        // The value exists but could not be read (permissions, an I/O error).
        readFailed,
        // Something other than a file holds the key's place: a folder, a pipe, a device.
        notAFile,
        // A symbolic link that leads out of the store's folder.
        outsideStore,
        // Larger than any document the store accepts.
        tooLarge,
        // Not UTF-8 text, so not a document: a value that is damaged like one that does not decode
        // (`bytes` holds it, so that it can be set aside).
        notText,
        // The value could not be written or removed (a read-only folder, a full disk).
        writeFailed,
        // The store has no usable place to keep values (no folder chosen, or not a writable folder).
        unavailable,
        // The chosen folder's path names it no longer (removed, moved away, replaced); the store
        // announces a change once it is back, so nothing need try again meanwhile.
        folderGone,
    };

    Code code = Code::readFailed;
    std::string key;
    // The system's reason, when there is one.
    std::string detail;
    // What was read, for a value that is not text.
    std::optional<std::string> bytes = std::nullopt;

    // The sentence shown after "Could not read (write) sync folder data: ".
    std::string text() const;

    friend bool operator==(const SyncStoreError&, const SyncStoreError&) = default;
};

class KeyValueSyncStore {
public:
    virtual ~KeyValueSyncStore() = default;

    // The stored bytes; nothing when the key holds nothing.
    virtual Expected<std::optional<std::string>, SyncStoreError> data(std::string_view key) = 0;
    // Stores the bytes under the key, or removes the key when there are none; the error when that
    // did not happen (the previous value is then still there).
    virtual Expected<void, SyncStoreError> set(std::optional<std::string_view> bytes, std::string_view key) = 0;
    // Keeps a copy of bytes that were under the key (a value that does not decode) under a name of
    // their own that no later copy takes, so that the key can be written over with nothing lost;
    // gives that name (`path`), and isNew false when a copy already held these very bytes (the same
    // damage met again: nothing was copied).
    virtual Expected<SetAsideCopy, SyncStoreError> setAside(std::string_view key, std::string_view bytes) = 0;
    // Brings what was written to lasting storage; the flag says whether that worked (no caller needs it).
    virtual bool synchronize() = 0;
    // Emitted, on the main loop, when the contents changed from outside; nothing for a store whose
    // contents never change from outside.
    virtual Signal<>* changeNotification() = 0;
};

}  // namespace tessary
