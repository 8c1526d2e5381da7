#pragma once

#include <vector>

#include "Platform/Signal.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QAbstractButton;
class QCheckBox;
class QPushButton;

namespace tessary {

class StatusTag;

// Launch at login, appearance, the two window-memory switches, updates and window control. Every
// control reads its service again after each change, so a refused change shows the real state.
class GeneralSettingsView final : public SettingsPane {
public:
    explicit GeneralSettingsView(SettingsContext& context, QWidget* parent = nullptr);

private:
    void refresh();

    SettingsContext& context_;
    QCheckBox* launchAtLogin_ = nullptr;
    std::vector<QAbstractButton*> appearance_;
    QCheckBox* restoreOnDisplayChange_ = nullptr;
    QCheckBox* moveNewWindows_ = nullptr;
    QCheckBox* automaticChecks_ = nullptr;
    QPushButton* checkNow_ = nullptr;
    StatusTag* permission_ = nullptr;
    std::vector<Subscription> subscriptions_;
};

}  // namespace tessary
