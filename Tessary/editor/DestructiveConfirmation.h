#pragma once

#include <functional>
#include <string>

namespace tessary {

// What the editor's models ask before a destructive command: the alert's texts, and the action to
// run if the user confirms. The widgets answer it with confirmDestructive; tests answer it at will.
struct ConfirmRequest {
    std::string title;
    std::string message;
    std::string confirmTitle;

    friend bool operator==(const ConfirmRequest&, const ConfirmRequest&) = default;
};

using Confirm = std::function<void(const ConfirmRequest&, std::function<void()> action)>;

}  // namespace tessary
