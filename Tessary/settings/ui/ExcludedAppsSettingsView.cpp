#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "Tessary/settings/ExcludedAppsModel.h"
#include "Tessary/settings/ui/AddAppMenu.h"
#include "Tessary/settings/ui/AppRowList.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"

namespace tessary {

// The excluded applications in the order they were added, each its name over its identifier.
class ExcludedAppsSettingsView::Rows final : public AppRowsModel {
public:
    Rows(const Preferences& preferences, const AppInfo& info) : AppRowsModel(info), preferences_(preferences) {}

    int count() const override { return static_cast<int>(ids().size()); }
    ListRow row(int index) const override {
        const std::string& id = ids()[static_cast<std::size_t>(index)];
        return {appName(id), QString::fromStdString(id), {}, {}, {}};
    }
    QString key(int index) const override { return QString::fromStdString(ids()[static_cast<std::size_t>(index)]); }
    QIcon icon(int index) const override { return appIcon(ids()[static_cast<std::size_t>(index)]); }

private:
    const std::vector<std::string>& ids() const { return preferences_.excludedBundleIDs(); }

    const Preferences& preferences_;
};

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
    const auto& excluded = context_.preferences.excludedBundleIDs();
    if (!canRemoveExcludedApp(context_.preferences, selection_)) selection_.reset();
    // Only the first application added and the last one removed change more than the list's rows.
    if (content_ && (list_ != nullptr) == !excluded.empty()) {
        if (rows_) rows_->refresh();
        showSelection();
        return;
    }
    SettingsForm::clearLater(layout());
    content_ = nullptr;
    list_ = nullptr;
    rows_ = nullptr;
    bar_ = nullptr;
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
    rows_ = new Rows(context_.preferences, info_);
    list_ = new RowListView(rows_, appRowLook(22, true, QMargins(4, 2, 4, 2)), content_);
    list_->setObjectName(QStringLiteral("excludedApps"));
    list_->setAccessibleName(tr("Excluded Apps"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMinimumHeight(160);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    list_->onChosen = [this](int row) {
        if (row < 0) {
            selection_.reset();
        } else {
            selection_ = rows_->key(row).toStdString();
        }
        updateBar();
    };
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = list_->indexAt(at);
        if (!index.isValid()) return;
        QMenu menu;
        QAction* remove = menu.addAction(tr("Remove"));
        const std::string id = rows_->key(index.row()).toStdString();
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
    showSelection();
}

void ExcludedAppsSettingsView::showSelection() {
    if (list_) list_->setSelectedRow(selection_ ? rows_->find(QString::fromStdString(*selection_)) : -1);
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
    showSelection();
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
