#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <system_error>

#include "Platform/Logger.h"
#include "Platform/UserDefaults.h"
#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

// User defaults kept in one JSON object file, read once at construction and rewritten whole,
// atomically, on every change. Values keep their type in the file: Booleans, integers, numbers
// with a fraction part (written with one, so 1.0 stays a floating-point number) and strings are
// plain JSON; data is {"data": "text"} when the bytes are UTF-8 text and {"base64": "..."}
// otherwise. Entries of any other form are kept as they are and written back untouched.
//
// A file that does not parse as a JSON object is copied aside as "<name>.unreadable" (an earlier
// copy of another damage kept under a dated name, as for the documents) before the first write
// replaces it; when that copy fails, or the file exists but cannot be read, changes are kept in
// memory only and the file is never written, so nothing the user had is lost blindly.
//
// Several instances of the program may share the file (one user on two displays). Each write
// takes the folder's lock and, when another wrote the file since this one last read or wrote it,
// merges key by key first (HomeMerge::threeWay, against the file as last seen): a key this one
// left as it was takes the other's value, a key both changed keeps this one's, and a value that
// holds a JSON object's text (the settings snapshot) is merged member by member the same way. A
// file that cannot be read at that moment is not written over. takeOutsideChanges() merges the
// same way when the owner hears of a change, and observers of outside changes are told whenever a
// merge changed what is held here.
class JSONFileUserDefaults final : public UserDefaults {
public:
    explicit JSONFileUserDefaults(std::filesystem::path path);

    // $XDG_CONFIG_HOME/Tessary/defaults.json, with ~/.config when XDG_CONFIG_HOME is unset, empty
    // or not absolute (as the base-directory rules say).
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return path_; }
    // False when changes cannot reach the file (see above); they are still kept in memory.
    bool isWritable() const { return writable_; }
    // Where a damaged file was set aside at construction, for the user to be told.
    const std::optional<SetAsideCopy>& setAside() const { return setAside_; }
    // Why the file could not be read at construction (the system's reason; "File too large" past
    // the size limit), for the user to be told: it is then never written this session.
    const std::optional<std::error_code>& readFailure() const { return readFailure_; }
    // Told of every write: the sentence when it failed, nothing when it worked. Without it, a
    // failure is logged once for each new reason, and once more when writing works again.
    std::function<void(const std::optional<std::string>& failure)> onWriteOutcome;

    // Writes the settings as they are (a write that failed, tried again).
    void writeAgain() { write(); }
    // Takes in what another instance wrote to the file, merged as above.
    void takeOutsideChanges();

    std::optional<UserDefaultsValue> object(std::string_view key) const override;
    bool contains(std::string_view key) const override;
    void set(std::string_view key, UserDefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

private:
    using Entries = std::map<std::string, json::Json, std::less<>>;

    void load();
    void write();
    // write()'s work under the folder's lock; whether a merge changed what is held here.
    bool mergeAndWrite();
    // Merges what another wrote to the file into entries_ before a write; the failure's sentence
    // when the file there cannot be read, or is damaged and cannot be set aside.
    std::optional<std::string> mergeBeforeWriting(bool& changedHere);
    void reportWrite(const std::optional<std::string>& failure);

    std::filesystem::path path_;
    Entries entries_;
    // The file as this last read or wrote it: its entries, and its bytes (inner nothing: no file;
    // nothing while it is not known).
    Entries base_;
    std::optional<std::optional<std::string>> known_;
    bool writable_ = true;
    std::optional<SetAsideCopy> setAside_;
    std::optional<std::error_code> readFailure_;
    // The reason the last write failed; nothing after one that worked.
    std::optional<std::string> writeFailure_;
    Logger log_{"UserDefaults"};
};

}  // namespace tessary
