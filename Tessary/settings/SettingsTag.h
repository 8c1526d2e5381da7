#pragma once

#include <string>

namespace tessary {

// A state as a pane shows it: a short text and its tone (green, red or grey), drawn by StatusTag.
enum class SettingsTone { positive, warning, neutral };

struct SettingsTag {
    std::string text;
    SettingsTone tone = SettingsTone::neutral;
    friend bool operator==(const SettingsTag&, const SettingsTag&) = default;
};

// A confirmation before a destructive command: the question, what it does, and the confirming
// button's title ("Cancel" is always the second button).
struct ConfirmationTexts {
    std::string title;
    std::string message;
    std::string confirmTitle;
};

// A pane's button at the right of its title: its title, its tooltip (may be empty).
struct PrimaryActionTexts {
    std::string title;
    std::string help;
};

}  // namespace tessary
