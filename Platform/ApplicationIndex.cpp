#include "Platform/ApplicationIndex.h"

#include <algorithm>
#include <array>

namespace tessary {

namespace {

// Identifiers longer than this are refused everywhere (a desktop file name is at most 255 bytes).
constexpr std::size_t longestName = 255;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), asciiLower);
    return result;
}

// A lower-cased copy on the stack, so that a look-up allocates nothing.
class LowerName {
public:
    explicit LowerName(std::string_view text) : valid_(!text.empty() && text.size() <= longestName) {
        if (!valid_) return;
        std::transform(text.begin(), text.end(), buffer_.begin(), asciiLower);
        size_ = text.size();
    }
    bool valid() const { return valid_; }
    std::string_view view() const { return {buffer_.data(), size_}; }

private:
    std::array<char, longestName> buffer_;
    std::size_t size_ = 0;
    bool valid_;
};

std::string_view lastComponent(std::string_view entryID) {
    const auto dot = entryID.rfind('.');
    return dot == std::string_view::npos ? entryID : entryID.substr(dot + 1);
}

std::string_view fileName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool isAssignment(std::string_view argument) {
    const auto equals = argument.find('=');
    return equals != std::string_view::npos && equals > 0 && argument.front() != '-';
}

}  // namespace

ApplicationIndex::ApplicationIndex(std::vector<InstalledApplication> entries) : entries_(std::move(entries)) {
    const auto add = [](Table& table, std::string_view name, std::size_t position) {
        if (!name.empty() && name.size() <= longestName) table.emplace(lowered(name), position);
    };
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const InstalledApplication& entry = entries_[i];
        add(byIdentifier_, entry.bundleIdentifier, i);
        add(byEntryID_, entry.entryID, i);
        if (entry.startupWMClass && !entry.startupWMClass->empty()) {
            add(byStartupClass_, *entry.startupWMClass, i);
            continue;
        }
        // Guessing from names is left to entries that do not say which class their windows have.
        add(byLastComponent_, lastComponent(entry.entryID), i);
        if (entry.program) add(byProgram_, *entry.program, i);
    }
}

const InstalledApplication* ApplicationIndex::find(const Table& table, std::string_view name) const {
    if (table.empty()) return nullptr;
    const LowerName key(name);
    if (!key.valid()) return nullptr;
    const auto found = table.find(key.view());
    return found == table.end() ? nullptr : &entries_[found->second];
}

const InstalledApplication* ApplicationIndex::entryFor(const WindowApplication& window) const {
    if (entries_.empty()) return nullptr;
    const std::string_view windowClass = window.windowClass;
    const std::string_view instance = window.instanceName;
    for (const auto& [table, name] : {std::pair{&byStartupClass_, windowClass}, std::pair{&byEntryID_, window.applicationID},
                                      std::pair{&byStartupClass_, instance}, std::pair{&byIdentifier_, windowClass},
                                      std::pair{&byEntryID_, windowClass}, std::pair{&byLastComponent_, windowClass},
                                      std::pair{&byLastComponent_, instance}, std::pair{&byProgram_, windowClass},
                                      std::pair{&byProgram_, instance}}) {
        if (const InstalledApplication* entry = find(*table, name)) return entry;
    }
    return nullptr;
}

const InstalledApplication* ApplicationIndex::entryNamed(std::string_view identifier) const {
    return entryFor(WindowApplication{identifier, {}, {}});
}

bool ApplicationIndex::namesGiven(std::string_view identifier, const WindowApplication& window,
                                  const InstalledApplication* windowEntry) const {
    if (identifier.empty()) return false;
    if (identifier == window.windowClass || identifier == window.applicationID) return true;
    return windowEntry && entryNamed(identifier) == windowEntry;
}

bool ApplicationIndex::names(std::string_view identifier, const WindowApplication& window) const {
    return namesGiven(identifier, window, entryFor(window));
}

bool ApplicationIndex::namesAny(const std::vector<std::string>& identifiers, const WindowApplication& window) const {
    if (identifiers.empty()) return false;
    const InstalledApplication* windowEntry = entryFor(window);
    return std::any_of(identifiers.begin(), identifiers.end(),
                       [&](const std::string& identifier) { return namesGiven(identifier, window, windowEntry); });
}

std::optional<std::string> ApplicationIndex::programOf(const std::vector<std::string>& execArguments) {
    std::size_t at = 0;
    const auto next = [&]() -> std::string_view {
        if (at >= execArguments.size()) return {};
        return execArguments[at];
    };
    // env [-options] [NAME=value]... program; -u and -C take the next argument.
    if (fileName(next()) == "env") {
        for (++at; at < execArguments.size() && (next().starts_with('-') || isAssignment(next())); ++at) {
            const std::string_view option = next();
            if (option == "-u" || option == "-C" || option == "--unset" || option == "--chdir") ++at;
        }
    }
    const std::string_view launcher = fileName(next());
    if ((launcher == "flatpak" || launcher == "snap") && at + 1 < execArguments.size() &&
        execArguments[at + 1] == "run") {
        for (at += 2; at < execArguments.size() && next().starts_with('-'); ++at) {
            constexpr std::string_view command = "--command=";
            if (launcher == "flatpak" && next().starts_with(command)) {
                return lowered(fileName(next().substr(command.size())));
            }
        }
        // A flatpak without --command runs the application its id names; a snap, its name.
        if (launcher == "flatpak") return std::nullopt;
    }
    const std::string_view program = fileName(next());
    if (program.empty()) return std::nullopt;
    return lowered(program);
}

}  // namespace tessary
