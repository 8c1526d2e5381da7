#include "Tessary/editor/ui/ResetButton.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "Tessary/editor/ui/EditorConfirmation.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "Tessary/shell/ui/PlainText.h"

namespace tessary {

ResetButton::ResetButton(LayoutEditorModel& model, QWidget* parent)
    : QWidget(parent), reset_(model, alertConfirmation()) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);

    toDefault_ = new QPushButton(tr("Reset to Default"), this);
    adaptiveButtonStyle(toDefault_, false);
    toDefault_->setToolTip(tr(ResetMenuModel::resetToDefaultHelp));
    connect(toDefault_, &QPushButton::clicked, this, [this] { reset_.resetToDefault(); });
    row->addWidget(toDefault_);

    toTemplate_ = new QToolButton(this);
    toTemplate_->setText(tr("Reset to Template"));
    toTemplate_->setToolTip(tr(ResetMenuModel::resetToTemplateHelp));
    toTemplate_->setPopupMode(QToolButton::InstantPopup);
    // Its fifty-odd items are made when it first opens: most editor sessions never open it.
    menu_ = new QMenu(toTemplate_);
    connect(menu_, &QMenu::aboutToShow, this, [this] { fillMenu(); });
    toTemplate_->setMenu(menu_);
    row->addWidget(toTemplate_);

    librarySubscription_ = model.zones().observe([this] { refresh(); });
    editorSubscription_ = model.observe([this](LayoutEditorModel::Property property) {
        if (property == LayoutEditorModel::Property::selectedLayoutID) refresh();
    });
    refresh();
}

QMenu* ResetButton::templateMenu() const {
    // Filling it changes nothing a caller sees: the menu is the same, with its items.
    const_cast<ResetButton*>(this)->fillMenu();
    return menu_;
}

void ResetButton::fillMenu() {
    if (!menu_->isEmpty()) return;
    for (const auto& entry : ResetMenuModel::menu()) {
        // "Focus & media" is a title, not a shortcut letter.
        const QString title = menuItemText(QString::fromStdString(entry.title));
        switch (entry.kind) {
        case ResetMenuModel::Entry::Kind::layoutTemplate: {
            const LayoutTemplate t = entry.layoutTemplate;
            menu_->addAction(title, this, [this, t] { reset_.resetToTemplate(t); });
            break;
        }
        case ResetMenuModel::Entry::Kind::separator: menu_->addSeparator(); break;
        case ResetMenuModel::Entry::Kind::group: {
            QMenu* group = menu_->addMenu(title);
            for (const LayoutPreset* preset : entry.presets) {
                group->addAction(menuItemText(QString::fromStdString(ZoneService::localized(preset->name()))), this,
                                 [this, preset] { reset_.resetToPreset(*preset); });
            }
            break;
        }
        }
    }
}

void ResetButton::refresh() {
    const bool toDefault = reset_.offersResetToDefault();
    toDefault_->setVisible(toDefault);
    toTemplate_->setVisible(!toDefault);
}

}  // namespace tessary
