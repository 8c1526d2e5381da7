#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"

#include <QKeyEvent>

#include <algorithm>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>

#include "Tessary/settings/ExcludedAppsPaneModel.h"
#include "Tessary/settings/ui/ContentUnavailable.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/Preferences.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"

namespace tessary {

ExcludedAppsSettingsView::ExcludedAppsSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context), apps_(AppInfo::build(context.applications, context.launcher)) {
    SettingsForm* form = SettingsForm::fill(this);
    section_ = form->addSection({}, tr("Windows of these apps are ignored when dragging and by the snap shortcuts. "
                                       "Panels, utility windows and the taskbar are never snapped."));
    form->addStretch();
    addMenu_ = new QMenu(this);
    addMenu_->setObjectName(QStringLiteral("addAppMenu"));
    connect(addMenu_, &QMenu::aboutToShow, this, [this] {
        apps_ = AppInfo::build(context_.applications, context_.launcher);
        fillApplicationMenu(
            addMenu_, apps_, [this](const std::string& id) { addExcludedApp(id); }, [this] { chooseApplications(); });
    });
    preferencesSubscription_ = context_.preferences.observe([this](PreferenceSetting setting) {
        if (setting == PreferenceSetting::excludedBundleIDs) rebuild();
    });
    rebuild();
}

void ExcludedAppsSettingsView::addExcludedApp(const std::string& bundleID) {
    if (tessary::addExcludedApp(context_.preferences, bundleID)) select(bundleID);
}

void ExcludedAppsSettingsView::addExcludedApps(const std::vector<std::string>& bundleIDs) {
    for (const std::string& bundleID : bundleIDs) addExcludedApp(bundleID);
}

void ExcludedAppsSettingsView::chooseApplications() {
    ApplicationPicker::open(window(), AppInfo::build(context_.applications, context_.launcher), true,
                            [this](const std::vector<std::string>& chosen) { addExcludedApps(chosen); });
}

void ExcludedAppsSettingsView::confirmRemoveExcludedApp(const std::string& bundleID) {
    confirmDestructive(window(), removeExcludedAppConfirmation(apps_.appDisplayName(bundleID)), [this, bundleID] {
        removeExcludedApp(context_.preferences, bundleID);
        if (selection_ == bundleID) select(std::nullopt);
    });
}

void ExcludedAppsSettingsView::select(const std::optional<std::string>& bundleID) {
    selection_ = bundleID;
    if (bar_) bar_->setCanRemove(selection_.has_value());
    if (!list_) return;
    const QSignalBlocker blocker(list_);
    list_->clearSelection();
    for (int i = 0; i < list_->count(); ++i) {
        if (bundleID && list_->item(i)->data(Qt::UserRole).toString().toStdString() == *bundleID) {
            list_->setCurrentRow(i);
            list_->item(i)->setSelected(true);
        }
    }
}

void ExcludedAppsSettingsView::rebuild() {
    discard(content_);
    list_ = nullptr;
    bar_ = nullptr;
    const std::vector<std::string>& excluded = context_.preferences.excludedBundleIDs();
    if (excluded.empty()) {
        content_ = new EmptyListBox(tr("No Excluded Apps"), QStringLiteral("nosign"),
                                    tr("Windows of excluded apps are ignored when dragging and by the snap shortcuts."),
                                    tr("Remove"), addMenu_);
        section_->addWidget(content_);
        select(std::nullopt);
        return;
    }
    content_ = new QWidget;
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    list_ = new QListWidget(content_);
    list_->setObjectName(QStringLiteral("excludedApps"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMinimumHeight(160);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    for (const std::string& bundleID : excluded) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, QString::fromStdString(bundleID));
        auto* row = new AppRow(apps_, bundleID, 22);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    connect(list_, &QListWidget::itemSelectionChanged, this, [this, list = list_] {
        if (list != list_) return;
        const auto chosen = list_->selectedItems();
        selection_ = chosen.isEmpty() ? std::nullopt
                                      : std::optional(chosen.first()->data(Qt::UserRole).toString().toStdString());
        bar_->setCanRemove(selection_.has_value());
    });
    connect(list_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& where) {
        QListWidgetItem* item = list_->itemAt(where);
        if (!item) return;
        const std::string bundleID = item->data(Qt::UserRole).toString().toStdString();
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        connect(menu->addAction(tr("Remove")), &QAction::triggered, this,
                [this, bundleID] { confirmRemoveExcludedApp(bundleID); });
        menu->popup(list_->viewport()->mapToGlobal(where));
    });
    column->addWidget(list_, 1);
    column->addWidget(makeDivider(content_));
    bar_ = new ListEditBar(tr("Remove"), addMenu_, [this] {
        if (selection_) confirmRemoveExcludedApp(*selection_);
    });
    column->addWidget(bar_);
    section_->addWidget(content_);
    // A selection whose identifier left the list (removed elsewhere) names nothing any more.
    std::optional<std::string> kept;
    if (selection_ && std::find(excluded.begin(), excluded.end(), *selection_) != excluded.end()) kept = selection_;
    select(kept);
}

bool ExcludedAppsSettingsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && selection_) {
            confirmRemoveExcludedApp(*selection_);
            return true;
        }
    }
    return SettingsPane::eventFilter(watched, event);
}

}  // namespace tessary
