#include "Platform/Linux/DesktopEntry.h"

namespace tessary {

namespace {

constexpr std::string_view mainGroup = "Desktop Entry";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The candidate keys of a localised value, most specific first, without the plain key.
std::vector<std::string> localeKeys(std::string_view key, std::string_view locale) {
    std::string_view modifier;
    if (auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (auto dot = locale.find('.'); dot != std::string_view::npos) locale = locale.substr(0, dot);
    std::string_view lang = locale;
    std::string_view country;
    if (auto underscore = locale.find('_'); underscore != std::string_view::npos) {
        lang = locale.substr(0, underscore);
        country = locale.substr(underscore + 1);
    }
    std::vector<std::string> keys;
    if (lang.empty() || lang == "C" || lang == "POSIX") return keys;
    const auto make = [&](std::string suffix) { keys.push_back(std::string(key) + "[" + suffix + "]"); };
    if (!country.empty() && !modifier.empty()) make(std::string(lang) + "_" + std::string(country) + "@" + std::string(modifier));
    if (!country.empty()) make(std::string(lang) + "_" + std::string(country));
    if (!modifier.empty()) make(std::string(lang) + "@" + std::string(modifier));
    make(std::string(lang));
    return keys;
}

// Splits an Exec line while expanding its field codes, so that what a code expands to is never
// read as quoting.
class ExecSplitter {
public:
    ExecSplitter(std::string_view exec, const DesktopEntry::ExecContext& context) : exec_(exec), context_(context) {}

    std::optional<std::vector<std::string>> run() {
        std::size_t i = 0;
        while (i < exec_.size()) {
            const char c = exec_[i];
            if (c == ' ' || c == '\t' || c == '\n') {
                finishArgument();
                ++i;
            } else if (c == '"') {
                started_ = literal_ = true;
                ++i;
                bool closed = false;
                while (i < exec_.size()) {
                    const char q = exec_[i];
                    if (q == '"') {
                        closed = true;
                        ++i;
                        break;
                    }
                    if (q == '\\' && i + 1 < exec_.size() &&
                        (exec_[i + 1] == '"' || exec_[i + 1] == '`' || exec_[i + 1] == '$' || exec_[i + 1] == '\\')) {
                        current_ += exec_[i + 1];
                        i += 2;
                    } else if (q == '%') {
                        i = fieldCode(i, false);
                    } else {
                        current_ += q;
                        ++i;
                    }
                }
                if (!closed) return std::nullopt;
            } else if (c == '\'') {
                // Not in the desktop-entry rules, but existing files use shell-style single quotes
                // and the desktops accept them: everything up to the next single quote, as is.
                started_ = literal_ = true;
                auto end = exec_.find('\'', i + 1);
                if (end == std::string_view::npos) return std::nullopt;
                current_.append(exec_.substr(i + 1, end - i - 1));
                i = end + 1;
            } else if (c == '\\') {
                started_ = literal_ = true;
                if (i + 1 < exec_.size()) current_ += exec_[i + 1];
                i += 2;
            } else if (c == '%') {
                i = fieldCode(i, true);
            } else {
                started_ = literal_ = true;
                current_ += c;
                ++i;
            }
        }
        finishArgument();
        if (arguments_.empty() || arguments_.front().empty()) return std::nullopt;
        return arguments_;
    }

private:
    // Handles the code at exec_[at] == '%'; the index after it.
    std::size_t fieldCode(std::size_t at, bool unquoted) {
        if (at + 1 >= exec_.size()) return at + 1;  // a lone % at the end: dropped
        const char code = exec_[at + 1];
        const std::size_t next = at + 2;
        switch (code) {
            case '%':
                started_ = literal_ = true;
                current_ += '%';
                break;
            case 'c':
                started_ = true;
                current_ += context_.name;
                break;
            case 'k':
                started_ = true;
                current_ += context_.location;
                break;
            case 'i': {
                // Two arguments of its own, and only where it stands alone.
                const bool alone = unquoted && !started_ &&
                                   (next >= exec_.size() || exec_[next] == ' ' || exec_[next] == '\t' || exec_[next] == '\n');
                if (alone && context_.icon && !context_.icon->empty()) {
                    arguments_.push_back("--icon");
                    arguments_.push_back(*context_.icon);
                }
                started_ = true;
                break;
            }
            default:
                // %f %F %u %U (no files are passed), the deprecated %d %D %n %N %v %m, and codes
                // that do not exist: nothing.
                started_ = true;
                break;
        }
        return next;
    }

    void finishArgument() {
        if (started_ && (literal_ || !current_.empty())) arguments_.push_back(current_);
        current_.clear();
        started_ = literal_ = false;
    }

    std::string_view exec_;
    const DesktopEntry::ExecContext& context_;
    std::vector<std::string> arguments_;
    std::string current_;
    bool started_ = false;  // something of the current argument was read
    bool literal_ = false;  // ... and it was more than field codes
};

}  // namespace

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text) {
    DesktopEntry entry;
    bool inMain = false;
    bool foundMain = false;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);

        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string_view group = close == std::string_view::npos ? std::string_view() : line.substr(1, close - 1);
            if (foundMain && inMain) break;  // the group ended; nothing after it is ours
            inMain = group == mainGroup;
            foundMain = foundMain || inMain;
            continue;
        }
        if (!inMain) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key.empty()) continue;
        entry.values_.emplace(std::string(key), std::string(value));  // the first occurrence stays
    }
    if (!foundMain) return std::nullopt;
    return entry;
}

std::optional<std::string> DesktopEntry::rawValue(std::string_view key) const {
    auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> DesktopEntry::string(std::string_view key) const {
    auto raw = rawValue(key);
    if (!raw) return std::nullopt;
    return unescape(*raw);
}

std::optional<std::string> DesktopEntry::localeString(std::string_view key, std::string_view locale) const {
    for (const std::string& candidate : localeKeys(key, locale)) {
        if (auto value = string(candidate)) return value;
    }
    return string(key);
}

bool DesktopEntry::boolean(std::string_view key) const { return rawValue(key) == "true"; }

std::string DesktopEntry::unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[i + 1]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default:
                // Not a string escape: both characters stay (the Exec rules have escapes of their own).
                out += '\\';
                out += value[i + 1];
                break;
        }
        ++i;
    }
    return out;
}

std::optional<std::vector<std::string>> DesktopEntry::execArguments(const ExecContext& context) const {
    auto exec = string("Exec");
    if (!exec) return std::nullopt;
    return splitExec(*exec, context);
}

std::optional<std::vector<std::string>> DesktopEntry::splitExec(std::string_view exec, const ExecContext& context) {
    return ExecSplitter(exec, context).run();
}

}  // namespace tessary
