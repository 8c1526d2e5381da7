#pragma once

// The settings window: a sidebar of the nine sections with the window-control footer, and the
// pane of the section shown under its title, subtitle and primary action. 860 x 580, not
// resizable, never larger than its display's work area. Ctrl+W and Escape close it (WindowCloseKeys).
//
// The sidebar, the header and the footer are built at the first showing and kept: made again at
// every opening they cost more than everything else it does (text measured anew, every sidebar
// icon looked up in the theme's folders). A pane lives only while its section is shown and the
// window is open, so a closed window holds no pane and no subscription of one, and each opening
// shows its pane as built afresh from the services. What must outlive the window (the section last
// shown, the requests already applied) lives in SettingsSelection.

#include <QPointer>
#include <QWidget>

#include <memory>

#include "Platform/Signal.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"
#include "Tessary/shell/SettingsSection.h"

class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;

namespace tessary {


class SettingsWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr int idealWidth = 860;
    static constexpr int idealHeight = 580;
    static constexpr int sidebarWidth = 200;
    static constexpr int paneMinimumWidth = 480;

    explicit SettingsWindow(SettingsContext context, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // The sidebar (null before the first showing); the pane shown and its title, null (empty)
    // while closed.
    QListWidget* sidebar() const { return sidebar_; }
    SettingsPane* pane() const { return pane_; }
    QString paneTitle() const;
    QString footerText() const;

    // The pane for a section.
    static SettingsPane* makePane(SettingsSection section, SettingsContext& context, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildContents();
    void dropPane();
    void showSection();
    void refreshHeader();
    void refreshFooter();
    void fitToScreen();

    SettingsContext context_;
    QWidget* contents_ = nullptr;
    QListWidget* sidebar_ = nullptr;
    QWidget* footerDot_ = nullptr;
    QLabel* footerText_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QPushButton* primaryAction_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QPointer<SettingsPane> pane_;
    std::optional<SettingsSection> paneSection_;
    bool open_ = false;
    Subscription selectionSubscription_;
    Subscription stateSubscription_;
};

}  // namespace tessary
