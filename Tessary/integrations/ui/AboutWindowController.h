#pragma once

// The About window: made once, on the first request, and shown again on every later one where
// the user left it (closing only hides it; its contents may be given up meanwhile and are made
// again when it shows). Fixed size, titled and closable only; Ctrl+W and Escape close it.

#include <memory>

#include "Tessary/integrations/ui/AboutView.h"

namespace tessary {

class AboutWindowController final {
public:
    explicit AboutWindowController(AboutActions actions, const AboutTexts& texts = AboutTexts::current());
    ~AboutWindowController();
    AboutWindowController(const AboutWindowController&) = delete;
    AboutWindowController& operator=(const AboutWindowController&) = delete;

    // Shows the window, raises it and gives it the focus.
    void show();
    // Once it is closed: its contents go until it is next shown.
    void releaseContents() { window_->releaseContents(); }
    QWidget* window() const { return window_.get(); }

private:
    std::unique_ptr<AboutView> window_;
};

}  // namespace tessary
