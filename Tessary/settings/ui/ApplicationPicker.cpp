#include "Tessary/settings/ui/ApplicationPicker.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/settings/ui/AppRow.h"

namespace tessary {

ApplicationPicker::ApplicationPicker(AppInfo apps, bool multiple, QWidget* parent)
    : QDialog(parent), apps_(std::move(apps)) {
    setObjectName(QStringLiteral("ApplicationPicker"));
    setWindowTitle(tr("Choose Application"));
    resize(420, 460);
    auto* column = new QVBoxLayout(this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("applicationFilter"));
    filter_->setPlaceholderText(tr("Filter"));
    filter_->setClearButtonEnabled(true);
    column->addWidget(filter_);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("applications"));
    list_->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    for (const InstalledApplication& application : apps_.installedApplications()) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, QString::fromStdString(application.bundleIdentifier));
        // What the filter searches; the row widget draws the texts.
        item->setData(Qt::UserRole + 1,
                      QString::fromStdString(application.name + "\n" + application.bundleIdentifier));
        auto* row = new AppRow(apps_, application.bundleIdentifier, 24, std::nullopt, nullptr, list_);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    column->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(false);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(filter_, &QLineEdit::textChanged, this, &ApplicationPicker::applyFilter);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { ok_->setEnabled(!chosen().empty()); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!chosen().empty()) accept();
    });
}

ApplicationPicker* ApplicationPicker::open(QWidget* parent, AppInfo apps, bool multiple,
                                           std::function<void(const std::vector<std::string>&)> chosen) {
    auto* picker = new ApplicationPicker(std::move(apps), multiple, parent);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    connect(picker, &QDialog::accepted, picker, [picker, chosen = std::move(chosen)] { chosen(picker->chosen()); });
    picker->QDialog::open();
    return picker;
}

std::vector<std::string> ApplicationPicker::chosen() const {
    std::vector<std::string> identifiers;
    for (int i = 0; i < list_->count(); ++i) {
        const QListWidgetItem* item = list_->item(i);
        if (item->isSelected() && !item->isHidden()) identifiers.push_back(item->data(Qt::UserRole).toString().toStdString());
    }
    return identifiers;
}

void ApplicationPicker::applyFilter(const QString& text) {
    const QString wanted = text.trimmed();
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        item->setHidden(!wanted.isEmpty() && !item->data(Qt::UserRole + 1).toString().contains(wanted, Qt::CaseInsensitive));
    }
    ok_->setEnabled(!chosen().empty());
}

}  // namespace tessary
