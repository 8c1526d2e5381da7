#pragma once

// The settings window: a sidebar of the nine sections with the window-control footer, and the
// pane of the section shown under its title, subtitle and primary action. 860 x 580, not
// resizable, never larger than its display's work area.
//
// The window's contents exist only while it is open: they are built when it is shown and dropped
// when it closes, and a pane lives only while its section is shown, so a closed window holds no
// pane, subscription or drawing. What must outlive it (the section last shown, the requests
// already applied) lives in SettingsSelection.

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

    // While open: the sidebar, the pane shown and its title; null (empty) while closed.
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
    void dropContents();
    void showSection();
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
    Subscription selectionSubscription_;
    Subscription stateSubscription_;
};

}  // namespace tessary
