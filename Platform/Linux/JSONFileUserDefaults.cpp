#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Linux/XDGDirectories.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

std::string errnoText(int error) { return std::strerror(error); }

// Reads the whole file; nothing with errno set when it cannot be read.
std::optional<std::string> readFile(const fs::path& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    std::string text;
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            ::close(fd);
            return std::nullopt;
        }
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes the bytes to a temporary file beside the target, flushes it to disk and renames it over
// the target, so a reader sees the old file or the new one and never a torn one. Gives the errno
// text on failure, nothing on success.
std::optional<std::string> writeAtomically(const fs::path& target, std::string_view bytes) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) return "cannot create " + target.parent_path().string() + ": " + ec.message();

    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return "cannot create a temporary file in " + target.parent_path().string() + ": " + errnoText(errno);

    // Keep the permissions of the file being replaced; a new file is private to the user (mkostemp).
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) ::fchmod(fd, existing.st_mode & 07777);

    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(pattern.c_str());
        return "cannot write " + pattern + ": " + errnoText(written ? errno : writeError);
    }
    if (::rename(pattern.c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(pattern.c_str());
        return "cannot replace " + target.string() + ": " + errnoText(renameError);
    }
    // The rename itself reaches the disk only with the folder.
    const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

}  // namespace

JSONFileUserDefaults::JSONFileUserDefaults(fs::path path) : path_(std::move(path)) { load(); }

fs::path JSONFileUserDefaults::defaultPath() { return XDGDirectories::configHome() / "Tessary" / "defaults.json"; }

void JSONFileUserDefaults::load() {
    int error = 0;
    const auto text = readFile(path_, error);
    if (!text) {
        if (error != ENOENT) {
            writable_ = false;
            log_.error("Cannot read " + path_.string() + ": " + errnoText(error) +
                       "; settings changed now are kept until the program ends and not written there");
        }
        return;
    }
    try {
        const Json document = json::parse(*text);
        if (!document.is_object()) throw json::DecodingError("The file does not hold a JSON object.");
        for (const auto& [key, entry] : document.items()) entries_.emplace(key, entry);
        return;
    } catch (const json::DecodingError& failure) {
        const fs::path aside = path_.string() + ".unreadable";
        if (const auto copyError = writeAtomically(aside, *text)) {
            writable_ = false;
            log_.error("Cannot read " + path_.string() + " (" + failure.what() + ") and cannot set it aside (" +
                       *copyError + "); it is left as it is and settings are not written there");
        } else {
            log_.error("Cannot read " + path_.string() + " (" + failure.what() + "); it was copied to " +
                       aside.string() + " and settings start afresh");
        }
    }
}

void JSONFileUserDefaults::write() {
    if (!writable_) {
        log_.debug("Not writing " + path_.string() + ": its earlier content could not be read");
        return;
    }
    Json document = Json::object();
    for (const auto& [key, entry] : entries_) document[key] = entry;
    std::string text;
    try {
        text = json::dumpPretty(document) + "\n";
    } catch (const json::EncodingError& failure) {
        // Only an entry kept from the file can get here; it was read, so it can be written.
        log_.fault(std::string("Cannot encode the settings: ") + failure.what());
        return;
    }
    // Follow a symbolic link (a dotfile manager's) instead of replacing the link with a file.
    fs::path target = path_;
    std::error_code ec;
    if (fs::is_symlink(path_, ec)) {
        const fs::path resolved = fs::weakly_canonical(path_, ec);
        if (!ec) target = resolved;
    }
    if (const auto failure = writeAtomically(target, text)) log_.error("Cannot save the settings: " + *failure);
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
