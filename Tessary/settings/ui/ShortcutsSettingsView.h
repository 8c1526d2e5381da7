#pragma once

#include <vector>

#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QGridLayout;

namespace tessary {

// One recorder per global shortcut of the program, grouped by purpose; the nine zone shortcuts in
// a grid whose columns follow the pane's width. The recorders come from the hook of the global
// shortcut module; the reset asks the module once for all eighteen names.
class ShortcutsSettingsView final : public SettingsPane {
public:
    explicit ShortcutsSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    std::optional<PrimaryActionTexts> primaryAction() const override;
    void triggerPrimaryAction() override;

    int zoneGridColumnCount() const { return columns_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* recorder(const std::string& name, QWidget* parent);
    // The title beside the name's recorder, and under both the recorder's word on a shortcut that
    // does not work.
    QWidget* shortcutRow(QWidget* label, const std::string& name, const QString& title, QWidget* parent);
    void layoutGrid();

    SettingsContext& context_;
    QWidget* grid_ = nullptr;
    QGridLayout* gridLayout_ = nullptr;
    std::vector<QWidget*> cells_;
    int columns_ = 0;
};

}  // namespace tessary
