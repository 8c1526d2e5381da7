#pragma once

#include <functional>
#include <string>

namespace tessary {

// A short message to the user outside the program's own windows: what went wrong (or needs a
// choice) where nobody asked, such as a document set aside, a shortcut another program holds, or a
// window too large for its zone. The title says it in a few words, the body in a sentence or two.
struct UserNotice {
    std::string title;
    std::string body;
    // The one action offered with the notice (its button, or a click on the notice itself); empty:
    // none. `action` runs on the main loop, at most once.
    std::string actionLabel;
    std::function<void()> action;
};

// Where notices go: the desktop's notifications in the program (Qt/DesktopNotices), a recording
// in tests (Sim/RecordingUserNotices). Showing one never blocks the main loop and never fails
// loudly: a notice that nothing can show is only logged by whoever posted it.
class UserNotices {
public:
    virtual ~UserNotices() = default;
    virtual void post(UserNotice notice) = 0;
};

}  // namespace tessary
