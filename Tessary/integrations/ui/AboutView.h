#pragma once

#include <functional>
#include <string>

#include <QWidget>

namespace tessary {

// What the About window's buttons do; the application fills them from its command table.
struct AboutActions {
    std::function<void()> showReleaseNotes;
    std::function<void()> sendFeedback;
    std::function<void()> openWebsite;  // unset: opens AboutTexts::website
};

// The texts under the header, computed when the view is built.
struct AboutTexts {
    std::string systemVersion;  // systemVersionString()
    std::string copyright;      // copyrightString(); no line when empty
    std::string website;        // websiteURL(); "Website" is disabled without one

    static AboutTexts current();
};

// The About window's content: header, the system line and the copyright line (both selectable),
// and the buttons "Release Notes", "Send Feedback…" and "Website" (disabled when the build names
// no web site, with the reason as its tool tip: a command that cannot apply is disabled). At least
// 400 pixels wide.
//
// Closed, the window can give up its contents (releaseContents()); they are made again, the same,
// when it is next shown.
class AboutView final : public QWidget {
public:
    AboutView(AboutActions actions, const AboutTexts& texts, QWidget* parent = nullptr);

    // Drops the contents of a hidden view; nothing for a visible one.
    void releaseContents();
    bool hasContents() const { return contents_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildContents();

    AboutActions actions_;
    AboutTexts texts_;
    QWidget* contents_ = nullptr;
};

}  // namespace tessary
