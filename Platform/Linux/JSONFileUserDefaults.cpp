#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Linux/XDGDirectories.h"

#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/HomeMerge.h"

#include <chrono>
#include <cstdlib>
#include <limits>

namespace tessary {

namespace fs = std::filesystem;
using json::Json;

namespace {

constexpr std::string_view base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t n = (static_cast<unsigned char>(bytes[i]) << 16) |
                                (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += base64Alphabet[(n >> 6) & 63];
        out += base64Alphabet[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += rest == 2 ? base64Alphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t n = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            std::uint32_t v = 0;
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++padding;
            } else {
                if (padding > 0) return std::nullopt;
                const auto position = base64Alphabet.find(c);
                if (position == std::string_view::npos) return std::nullopt;
                v = static_cast<std::uint32_t>(position);
            }
            n = (n << 6) | v;
        }
        out += static_cast<char>((n >> 16) & 0xFF);
        if (padding < 2) out += static_cast<char>((n >> 8) & 0xFF);
        if (padding < 1) out += static_cast<char>(n & 0xFF);
    }
    return out;
}

Json encodeValue(const UserDefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, UserDefaultsData>) {
                if (UserDefaults::isStorable("data", std::string(v.bytes))) return Json::object({{"data", v.bytes}});
                return Json::object({{"base64", base64Encode(v.bytes)}});
            } else {
                return Json(v);
            }
        },
        value);
}

std::optional<UserDefaultsValue> decodeValue(const Json& entry) {
    switch (entry.type()) {
    case Json::value_t::boolean:
        return UserDefaultsValue(entry.get<bool>());
    case Json::value_t::number_integer:
        return UserDefaultsValue(entry.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
        const auto u = entry.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return UserDefaultsValue(static_cast<std::int64_t>(u));
    }
    case Json::value_t::number_float:
        return UserDefaultsValue(entry.get<double>());
    case Json::value_t::string:
        return UserDefaultsValue(entry.get<std::string>());
    case Json::value_t::object:
        if (entry.size() != 1) return std::nullopt;
        if (const auto text = entry.find("data"); text != entry.end() && text->is_string()) {
            return UserDefaultsValue(UserDefaultsData{text->get<std::string>()});
        }
        if (const auto text = entry.find("base64"); text != entry.end() && text->is_string()) {
            if (auto bytes = base64Decode(text->get_ref<const std::string&>())) {
                return UserDefaultsValue(UserDefaultsData{std::move(*bytes)});
            }
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// Read and written as the documents are: a non-blocking open that refuses anything but a regular
// file, atomic replacement through symbolic links, and the leftovers of interrupted saves removed.
PosixDocumentFileSystem& files() {
    static PosixDocumentFileSystem instance;
    return instance;
}

// How long a write waits for another instance's lock on the folder.
constexpr std::chrono::milliseconds lockPatience{2000};

// The text a value holds, stored as a string or as data.
const std::string* storedText(const Json& entry) {
    if (entry.is_string()) return &entry.get_ref<const std::string&>();
    if (entry.is_object() && entry.size() == 1) {
        if (const auto text = entry.find("data"); text != entry.end() && text->is_string()) {
            return &text->get_ref<const std::string&>();
        }
    }
    return nullptr;
}

std::optional<Json> objectIn(const Json* entry) {
    const std::string* text = entry ? storedText(*entry) : nullptr;
    if (!text) return std::nullopt;
    try {
        Json value = json::parse(*text);
        if (value.is_object()) return value;
    } catch (const json::DecodingError&) {
    }
    return std::nullopt;
}

// A key both instances changed: the settings snapshot (a JSON object's text) member by member,
// anything else as this instance has it.
Json bothChanged(const Json& ours, const Json& theirs, const Json* base) {
    const auto mine = objectIn(&ours);
    const auto other = objectIn(&theirs);
    const auto was = objectIn(base);
    if (!mine || !other || (base && !was)) return ours;
    using Members = std::map<std::string, Json>;
    const auto members = [](const Json& object) { return object.get<Members>(); };
    const Members wasMembers = was ? members(*was) : Members();
    const Members merged = HomeMerge::threeWay(members(*mine), members(*other), was ? &wasMembers : nullptr,
                                               [](const Json& a, const Json&, const Json*) { return a; });
    const std::string text = json::dumpCompact(Json(merged));
    return ours.is_string() ? Json(text) : Json::object({{"data", text}});
}

// Gives the error text on failure, nothing on success.
std::optional<std::string> writeAtomically(const fs::path& target, std::string_view bytes) {
    if (const auto code = files().createDirectories(target.parent_path())) {
        return "cannot create " + target.parent_path().string() + ": " + code.message();
    }
    if (const auto code = files().writeAtomically(target, bytes)) {
        return "cannot replace " + target.string() + ": " + code.message();
    }
    return std::nullopt;
}

}  // namespace

JSONFileUserDefaults::JSONFileUserDefaults(fs::path path) : path_(std::move(path)) { load(); }

fs::path JSONFileUserDefaults::defaultPath() { return XDGDirectories::configHome() / "Tessary" / "defaults.json"; }

void JSONFileUserDefaults::load() {
    files().removeStaleTemporaries(path_);
    const auto read = files().readFile(path_);
    if (!read) {
        writable_ = false;
        readFailure_ = read.error();
        log_.error("Cannot read " + path_.string() + ": " + read.error().message() +
                   "; settings changed now are kept until the program ends and not written there");
        return;
    }
    known_ = read.value();
    if (!read.value()) return;
    const std::string& text = *read.value();
    try {
        const Json document = json::parse(text);
        if (!document.is_object()) throw json::DecodingError("The file does not hold a JSON object.");
        for (const auto& [key, entry] : document.items()) entries_.emplace(key, entry);
        base_ = entries_;
        return;
    } catch (const json::DecodingError& failure) {
        // Kept as the documents are: NAME.unreadable, an earlier copy of another damage kept dated.
        const auto kept = setAsideDamaged(files(), path_, text);
        if (!kept) {
            writable_ = false;
            log_.error("Cannot read " + path_.string() + " (" + failure.what() + ") and cannot set it aside (" +
                       kept.error().message() + "); it is left as it is and settings are not written there");
        } else {
            setAside_ = kept.value();
            log_.error("Cannot read " + path_.string() + "; it was set aside as " + kept.value().path.string() +
                       (kept.value().isNew ? "" : " (as at an earlier start)") +
                       " and settings start afresh. The parser's message: " + failure.what());
        }
    }
}

void JSONFileUserDefaults::write() {
    if (!writable_) {
        log_.debug("Not writing " + path_.string() + ": its earlier content could not be read");
        return;
    }
    // Told once the lock is given back: an observer may write in turn.
    if (mergeAndWrite()) outsideChanged_.emit();
}

bool JSONFileUserDefaults::mergeAndWrite() {
    // Another instance's read, merge and write come before or after this one's, never between.
    files().createDirectories(path_.parent_path());
    const FolderLock lock = files().lockFolder(path_.parent_path(), lockPatience);
    bool changedHere = false;
    if (const auto failure = mergeBeforeWriting(changedHere)) {
        reportWrite(failure);
        return changedHere;
    }
    Json document = Json::object();
    for (const auto& [key, entry] : entries_) document[key] = entry;
    std::string text;
    try {
        text = json::dumpPretty(document) + "\n";
    } catch (const json::EncodingError& failure) {
        // Only an entry kept from the file can get here; it was read, so it can be written.
        log_.fault(std::string("Cannot encode the settings: ") + failure.what());
        return changedHere;
    }
    // The file system follows a symbolic link (a dotfile manager's) and writes where it points.
    auto failure = writeAtomically(path_, text);
    if (!failure) {
        known_ = std::move(text);
        base_ = entries_;
    }
    reportWrite(failure);
    return changedHere;
}

void JSONFileUserDefaults::reportWrite(const std::optional<std::string>& failure) {
    // Whoever takes the outcome logs it with the rest of what it does.
    if (onWriteOutcome) return onWriteOutcome(failure);
    // Settings are written on every change: a folder that cannot be written is said once, not per
    // change, and said again when writing works anew.
    if (failure == writeFailure_) return;
    writeFailure_ = failure;
    if (failure) {
        log_.error("Cannot save the settings: " + *failure + " (said once until saving works again)");
    } else {
        log_.notice("The settings are saved again to " + path_.string());
    }
}

std::optional<std::string> JSONFileUserDefaults::mergeBeforeWriting(bool& changedHere) {
    const auto now = files().readFile(path_);
    if (!now) return "cannot read " + path_.string() + " to merge it: " + now.error().message();
    if ((known_ && *known_ == now.value()) || !now.value()) return std::nullopt;
    Entries theirs;
    try {
        const Json document = json::parse(*now.value());
        if (!document.is_object()) throw json::DecodingError("The file does not hold a JSON object.");
        for (const auto& [key, entry] : document.items()) theirs.emplace(key, entry);
    } catch (const json::DecodingError& failure) {
        // Damaged since it was read: kept as at the start before this one's settings replace it.
        const auto kept = setAsideDamaged(files(), path_, *now.value());
        if (!kept) return "cannot set aside " + path_.string() + ", which is damaged: " + kept.error().message();
        log_.error("Set aside " + path_.string() + ", damaged since it was read, as " + kept.value().path.string() +
                   ". The parser's message: " + failure.what());
        return std::nullopt;
    }
    Entries merged = HomeMerge::threeWay(entries_, theirs, known_ ? &base_ : nullptr, bothChanged);
    changedHere = merged != entries_;
    entries_ = std::move(merged);
    return std::nullopt;
}

void JSONFileUserDefaults::takeOutsideChanges() {
    if (!writable_) return;
    const auto now = files().readFile(path_);
    if (!now || !now.value() || (known_ && *known_ == now.value())) return;
    Entries theirs;
    try {
        const Json document = json::parse(*now.value());
        if (!document.is_object()) return;
        for (const auto& [key, entry] : document.items()) theirs.emplace(key, entry);
    } catch (const json::DecodingError&) {
        // The next write sets it aside.
        return;
    }
    Entries merged = HomeMerge::threeWay(entries_, theirs, known_ ? &base_ : nullptr, bothChanged);
    known_ = now.value();
    base_ = std::move(theirs);
    if (merged == entries_) return;
    entries_ = std::move(merged);
    outsideChanged_.emit();
}

std::optional<UserDefaultsValue> JSONFileUserDefaults::object(std::string_view key) const {
    const auto found = entries_.find(key);
    if (found == entries_.end()) return std::nullopt;
    return decodeValue(found->second);
}

bool JSONFileUserDefaults::contains(std::string_view key) const { return entries_.find(key) != entries_.end(); }

void JSONFileUserDefaults::set(std::string_view key, UserDefaultsValue value) {
    if (!isStorable(key, value)) {
        log_.error("Refused to store a value that cannot be kept under \"" + std::string(key) + "\"");
        return;
    }
    entries_.insert_or_assign(std::string(key), encodeValue(value));
    write();
}

void JSONFileUserDefaults::remove(std::string_view key) {
    const auto found = entries_.find(key);
    if (found == entries_.end()) return;
    entries_.erase(found);
    write();
}

std::vector<std::string> JSONFileUserDefaults::keys() const {
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const auto& [key, entry] : entries_) result.push_back(key);
    return result;
}

}  // namespace tessary
