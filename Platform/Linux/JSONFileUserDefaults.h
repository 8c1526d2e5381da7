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
    // Told when writing the file starts failing for a new reason (the sentence) and when it works
    // again after failing (nothing). Without it, each is logged once, however many writes meet it.
    std::function<void(const std::optional<std::string>& failure)> onWriteOutcome;

    std::optional<UserDefaultsValue> object(std::string_view key) const override;
    bool contains(std::string_view key) const override;
    void set(std::string_view key, UserDefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

private:
    void load();
    void write();

    std::filesystem::path path_;
    std::map<std::string, json::Json, std::less<>> entries_;
    bool writable_ = true;
    std::optional<SetAsideCopy> setAside_;
    std::optional<std::error_code> readFailure_;
    // The reason the last write failed; nothing after one that worked.
    std::optional<std::string> writeFailure_;
    Logger log_{"UserDefaults"};
};

}  // namespace tessary
