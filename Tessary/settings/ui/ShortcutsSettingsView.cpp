#include "Tessary/settings/ui/ShortcutsSettingsView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "Tessary/settings/ShortcutsPaneModel.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"

namespace tessary {

ShortcutsSettingsView::ShortcutsSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context) {
    SettingsForm* form = SettingsForm::fill(this);

    for (const ShortcutSection& section : shortcutSections()) {
        QVBoxLayout* rows = form->addSection(QString::fromStdString(section.title), QString::fromStdString(section.footer));
        if (section.grid) {
            grid_ = new QWidget(this);
            grid_->setObjectName(QStringLiteral("zoneGrid"));
            grid_->installEventFilter(this);
            gridLayout_ = new QGridLayout(grid_);
            gridLayout_->setContentsMargins(0, 4, 0, 4);
            gridLayout_->setHorizontalSpacing(12);
            gridLayout_->setVerticalSpacing(8);
            for (const ShortcutRow& row : section.rows) {
                const QString title = QString::fromStdString(row.title);
                cells_.push_back(shortcutRow(SettingsForm::plainLabel(title), row.name, title, grid_));
            }
            rows->addWidget(grid_);
            continue;
        }
        for (const ShortcutRow& row : section.rows) {
            QWidget* label = row.description.empty()
                                 ? static_cast<QWidget*>(SettingsForm::plainLabel(QString::fromStdString(row.title)))
                                 : SettingsForm::twoLineLabel(QString::fromStdString(row.title),
                                                              QString::fromStdString(row.description));
            rows->addWidget(shortcutRow(label, row.name, QString::fromStdString(row.title), this));
        }
    }
    form->addStretch();
    layoutGrid();
}

QWidget* ShortcutsSettingsView::recorder(const std::string& name, QWidget* parent) {
    QWidget* control = context_.hooks.makeRecorder ? context_.hooks.makeRecorder(name, parent) : nullptr;
    if (!control) {
        // Without the shortcut module the default is shown, read-only.
        auto* placeholder = SettingsForm::plainLabel(QString::fromStdString(defaultShortcutText(name)), parent);
        placeholder->setEnabled(false);
        control = placeholder;
    }
    control->setObjectName(QStringLiteral("shortcut.") + QString::fromStdString(name));
    return control;
}

QWidget* ShortcutsSettingsView::shortcutRow(QWidget* label, const std::string& name, const QString& title,
                                            QWidget* parent) {
    QWidget* control = recorder(name, nullptr);
    // A screen reader names the field by the row it records for.
    SettingsForm::nameField(control, title);
    QWidget* line = SettingsForm::row(label, control, nullptr);
    // What the recorder says of a shortcut that does not work goes under the whole row, as wide as
    // its title and field: beside the field alone it would take three lines and pull the title down.
    auto* problem = control->findChild<QLabel*>(QStringLiteral("problem"));
    if (!problem) {
        line->setParent(parent);
        return line;
    }
    auto* cell = new QWidget(parent);
    auto* column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(line);
    problem->setParent(cell);
    column->addWidget(problem);
    // A new parent hides it; it shows while it has something to say.
    problem->setVisible(!problem->text().isEmpty());
    return cell;
}

bool ShortcutsSettingsView::eventFilter(QObject* watched, QEvent* event) {
    // The grid's own width decides, once the form has laid it out.
    if (watched == grid_ && event->type() == QEvent::Resize) layoutGrid();
    return SettingsPane::eventFilter(watched, event);
}

void ShortcutsSettingsView::layoutGrid() {
    if (!gridLayout_) return;
    const int columns = zoneGridColumns(grid_->contentsRect().width());
    if (columns == columns_) return;
    columns_ = columns;
    for (QWidget* cell : cells_) gridLayout_->removeWidget(cell);
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        gridLayout_->addWidget(cells_[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    }
    for (int column = 0; column < gridLayout_->columnCount(); ++column) {
        gridLayout_->setColumnStretch(column, column < columns ? 1 : 0);
    }
}

std::optional<PrimaryActionTexts> ShortcutsSettingsView::primaryAction() const { return shortcutsResetAction(); }

void ShortcutsSettingsView::triggerPrimaryAction() {
    confirmDestructive(window(), shortcutsResetConfirmation(), [reset = context_.hooks.resetShortcuts] {
        if (reset) reset(paneShortcutNames());
    });
}

}  // namespace tessary
