#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "Tessary/settings/ExcludedAppsModel.h"
#include "Tessary/settings/ui/AddAppMenu.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Tessary/shell/ui/SelectedRowText.h"

namespace tessary {


ExcludedAppsSettingsView::ExcludedAppsSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context), info_(makeAppInfo(context)), addMenu_(std::make_unique<QMenu>()) {
    addMenu_->setObjectName(QStringLiteral("addAppMenu"));
    addMenu_->setTitle(tr("Add App"));
    connect(addMenu_.get(), &QMenu::aboutToShow, this, [this] { fillAddMenu(); });
    fillAddMenu();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    subscription_ = context_.preferences.observe([this](PreferenceSetting setting) {
        if (setting == PreferenceSetting::excludedBundleIDs) rebuild();
    });
    rebuild();
}

std::optional<std::string> ExcludedAppsSettingsView::selection() const { return selection_; }

void ExcludedAppsSettingsView::fillAddMenu() {
    // Read anew at every opening: what runs changes while the pane is open.
    info_ = makeAppInfo(context_);
    fillAddAppMenu(
        addMenu_.get(), runningAppsToExclude(info_, context_.preferences), [this](const std::string& id) { add({id}); },
        [this] { (new ApplicationPicker(info_, true, [this](std::vector<std::string> ids) { add(ids); }, window()))->open(); });
}

void ExcludedAppsSettingsView::rebuild() {
    SettingsForm::clearLater(layout());
    content_ = nullptr;
    list_ = nullptr;
    bar_ = nullptr;
    const auto& excluded = context_.preferences.excludedBundleIDs();
    if (!canRemoveExcludedApp(context_.preferences, selection_)) selection_.reset();
    if (excluded.empty()) {
        content_ = new EmptyListForm(tr("No Excluded Apps"), QStringLiteral("nosign"),
                                     tr("Windows of excluded apps are ignored when dragging and by the snap shortcuts."),
                                     tr(excludedAppsFooter), tr("Remove"), addMenu_.get(), this);
        layout()->addWidget(content_);
        return;
    }
    content_ = new QWidget(this);
    auto* form = SettingsForm::fill(content_);
    QVBoxLayout* section = form->addSection({}, tr(excludedAppsFooter));
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(0);
    list_ = new QListWidget(content_);
    list_->setObjectName(QStringLiteral("excludedApps"));
    highlightSelectedRowText(*list_);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMinimumHeight(160);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    for (const std::string& id : excluded) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, QString::fromStdString(id));
        // A row drawn by a widget has no text of its own: a screen reader reads these.
        item->setData(Qt::AccessibleTextRole, QString::fromStdString(info_.appDisplayName(id)));
        item->setData(Qt::AccessibleDescriptionRole, QString::fromStdString(id));
        auto* row = new AppRow(info_, id, 22);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
        if (selection_ == id) item->setSelected(true);
    }
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = list_->selectedItems();
        if (chosen.isEmpty()) {
            selection_.reset();
        } else {
            selection_ = chosen.first()->data(Qt::UserRole).toString().toStdString();
        }
        updateBar();
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = list_->itemAt(at);
        if (!item) return;
        QMenu menu;
        QAction* remove = menu.addAction(tr("Remove"));
        const std::string id = item->data(Qt::UserRole).toString().toStdString();
        if (menu.exec(list_->viewport()->mapToGlobal(at)) == remove) confirmRemove(id);
    });
    section->addWidget(list_);
    section->addWidget(makeDivider(content_));
    bar_ = new ListEditBar(tr("Remove"), addMenu_.get(), [this] {
        if (selection_) confirmRemove(*selection_);
    });
    section->addWidget(bar_);
    form->addStretch();
    layout()->addWidget(content_);
    updateBar();
}

void ExcludedAppsSettingsView::updateBar() {
    if (bar_) bar_->setCanRemove(canRemoveExcludedApp(context_.preferences, selection_));
}

void ExcludedAppsSettingsView::add(const std::vector<std::string>& bundleIDs) {
    std::optional<std::string> last;
    for (const std::string& id : bundleIDs) {
        if (addExcludedApp(context_.preferences, id)) last = id;
    }
    if (last) select(*last);
}

void ExcludedAppsSettingsView::select(const std::string& bundleID) {
    selection_ = bundleID;
    if (!list_) return;
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        item->setSelected(item->data(Qt::UserRole).toString().toStdString() == bundleID);
    }
    updateBar();
}

void ExcludedAppsSettingsView::confirmRemove(const std::string& bundleID) {
    confirmDestructive(window(), removeExcludedAppConfirmation(info_.appDisplayName(bundleID)),
                       [&preferences = context_.preferences, bundleID] { removeExcludedApp(preferences, bundleID); });
}

bool ExcludedAppsSettingsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && selection_) {
            confirmRemove(*selection_);
            return true;
        }
    }
    return SettingsPane::eventFilter(watched, event);
}

}  // namespace tessary
