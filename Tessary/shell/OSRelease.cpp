#include "Tessary/shell/OSRelease.h"

#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/UnicodeText.h"

namespace tessary {

namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameCharacter(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmedBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The value with its quoting undone, or nothing when a quote is left open.
std::optional<std::string> unquoted(std::string_view raw) {
    std::string value;
    std::size_t i = 0;
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '"') {
            ++i;
            for (;;) {
                if (i >= raw.size()) return std::nullopt;
                const char q = raw[i];
                if (q == '"') break;
                if (q == '\\' && i + 1 < raw.size() && std::string_view("\"\\$`").find(raw[i + 1]) != std::string_view::npos) {
                    value += raw[i + 1];
                    i += 2;
                    continue;
                }
                value += q;
                ++i;
            }
            ++i;
        } else if (c == '\'') {
            const std::size_t close = raw.find('\'', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            value.append(raw.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '\\' && i + 1 < raw.size()) {
            value += raw[i + 1];
            i += 2;
        } else {
            value += c;
            ++i;
        }
    }
    return value;
}

}  // namespace

std::string withoutControlCharacters(std::string_view text) {
    std::string valid = validUTF8(text);
    std::string kept;
    kept.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto byte = static_cast<unsigned char>(valid[i]);
        if (byte < 0x20 || byte == 0x7F) continue;
        // C1 controls are U+0080 to U+009F, encoded as C2 80 to C2 9F.
        if (byte == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        kept += valid[i];
    }
    return kept;
}

OSReleaseFields parseOSRelease(std::string_view text) {
    OSReleaseFields fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmedBlanks(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0 || !isNameStart(line.front())) continue;
        const std::string_view key = line.substr(0, equals);
        bool validKey = true;
        for (char c : key) validKey = validKey && isNameCharacter(c);
        if (!validKey) continue;
        if (auto value = unquoted(line.substr(equals + 1))) fields[std::string(key)] = withoutControlCharacters(*value);
    }
    return fields;
}

std::optional<std::string> readOSRelease(const std::vector<std::string>& paths) {
    // Read without a stream: the About window is the only one to read this, and a stream's first
    // use brings a quarter of a megabyte of the C++ library's code in.
    PosixDocumentFileSystem files;
    for (const std::string& path : paths) {
        auto text = files.readFile(path);
        if (text && *text) return std::move(**text);
    }
    return std::nullopt;
}

}  // namespace tessary
