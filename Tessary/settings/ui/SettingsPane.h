#pragma once

#include <QString>
#include <QWidget>

#include <optional>

#include "Tessary/settings/SettingsTag.h"

namespace tessary {

// One section's pane in the settings window's detail column. Built when its section is shown and
// discarded when another is chosen or the window closes.
class SettingsPane : public QWidget {
public:
    using QWidget::QWidget;

    // A line under the pane's title; empty for none.
    virtual QString subtitle() const { return {}; }
    // The button at the right of the title; none when the pane has none.
    virtual std::optional<PrimaryActionTexts> primaryAction() const { return std::nullopt; }
    virtual void triggerPrimaryAction() {}
};

}  // namespace tessary
