#pragma once

#include "Platform/Signal.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QPushButton;

namespace tessary {

class AdaptiveButtonRow;

// The program's icon, name and version, the four buttons (check for updates only with an update
// feed), every release note, and the link to the change log.
class AboutSettingsView final : public SettingsPane {
public:
    explicit AboutSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    AdaptiveButtonRow* buttons() const { return buttons_; }

private:
    void open(const std::string& url) const;
    void refresh();

    SettingsContext& context_;
    AdaptiveButtonRow* buttons_ = nullptr;
    QPushButton* checkForUpdates_ = nullptr;
    Subscription subscription_;
};

}  // namespace tessary
