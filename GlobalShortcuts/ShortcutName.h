#pragma once

// A named global shortcut: the key under which the chosen shortcut is stored, with an optional
// default. Names are equal when their raw values are; a name is a plain value, and the module
// stores its default (when the entry is empty) the first time it is given the name.

#include <functional>
#include <optional>
#include <string>

#include "GlobalShortcuts/Shortcut.h"

namespace tessary {

struct ShortcutName {
    std::string rawValue;
    std::optional<Shortcut> initialShortcut;

    ShortcutName() = default;
    explicit ShortcutName(std::string raw, std::optional<Shortcut> initial = std::nullopt)
        : rawValue(std::move(raw)), initialShortcut(initial) {}

    friend bool operator==(const ShortcutName& a, const ShortcutName& b) { return a.rawValue == b.rawValue; }
    friend bool operator<(const ShortcutName& a, const ShortcutName& b) { return a.rawValue < b.rawValue; }
};

struct ShortcutNameHash {
    std::size_t operator()(const ShortcutName& name) const { return std::hash<std::string>{}(name.rawValue); }
};

}  // namespace tessary
