#include "Tessary/settings/ui/ApplicationPicker.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/shell/ui/SelectedRowText.h"

namespace tessary {

namespace {
constexpr int identifierRole = Qt::UserRole;
constexpr int searchRole = Qt::UserRole + 1;
}  // namespace

ApplicationPicker::ApplicationPicker(const AppInfo& info, bool multiple,
                                     std::function<void(std::vector<std::string>)> chosen, QWidget* parent)
    : QDialog(parent), filter_(new QLineEdit(this)), list_(new QListWidget(this)) {
    setObjectName(QStringLiteral("applicationPicker"));
    setWindowTitle(tr("Choose Application"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(460, 420);
    auto* column = new QVBoxLayout(this);
    filter_->setObjectName(QStringLiteral("applicationFilter"));
    list_->setObjectName(QStringLiteral("applications"));
    filter_->setPlaceholderText(tr("Filter"));
    filter_->setClearButtonEnabled(true);
    column->addWidget(filter_);
    list_->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    highlightSelectedRowText(*list_);
    std::vector<const InstalledApplication*> sorted;
    for (const InstalledApplication& application : info.installed()) sorted.push_back(&application);
    sortByCollatedName(sorted, [](const InstalledApplication* a) -> const std::string& { return a->name; });
    for (const InstalledApplication* application : sorted) {
        auto* item = new QListWidgetItem(list_);
        item->setData(identifierRole, QString::fromStdString(application->bundleIdentifier));
        item->setData(searchRole, QString::fromStdString(application->name + " " + application->bundleIdentifier));
        // A row drawn by a widget has no text of its own: a screen reader reads these.
        item->setData(Qt::AccessibleTextRole, QString::fromStdString(application->name));
        item->setData(Qt::AccessibleDescriptionRole, QString::fromStdString(application->bundleIdentifier));
        auto* row = new AppRow(info, application->bundleIdentifier, 24);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    column->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this, ok] { ok->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this, chosen = std::move(chosen)] {
        std::vector<std::string> identifiers;
        for (int row = 0; row < list_->count(); ++row) {
            QListWidgetItem* item = list_->item(row);
            if (item->isSelected() && !item->isHidden()) identifiers.push_back(item->data(identifierRole).toString().toStdString());
        }
        accept();
        if (chosen && !identifiers.empty()) chosen(std::move(identifiers));
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, buttons, &QDialogButtonBox::accepted);
    column->addWidget(buttons);
    connect(filter_, &QLineEdit::textChanged, this, &ApplicationPicker::applyFilter);
}

void ApplicationPicker::applyFilter(const QString& text) {
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        const bool shown = text.isEmpty() || item->data(searchRole).toString().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (!shown) item->setSelected(false);
    }
}

}  // namespace tessary
