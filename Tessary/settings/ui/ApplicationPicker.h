#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "Tessary/settings/AppInfo.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessary {

// "Choose Application…": the installed applications in a list that the field above it filters
// (by name or identifier, ignoring case). Each row shows the name and the identifier that will be
// stored. One choice, or several; OK hands them over in list order.
class ApplicationPicker final : public QDialog {
    Q_OBJECT

public:
    ApplicationPicker(AppInfo apps, bool multiple, QWidget* parent = nullptr);

    // Opens the picker window-modal on `parent`; `chosen` runs on OK only, with the identifiers.
    static ApplicationPicker* open(QWidget* parent, AppInfo apps, bool multiple,
                                   std::function<void(const std::vector<std::string>&)> chosen);

    // The selected identifiers, in list order.
    std::vector<std::string> chosen() const;
    QLineEdit* filter() const { return filter_; }
    QListWidget* list() const { return list_; }
    QPushButton* okButton() const { return ok_; }

private:
    void applyFilter(const QString& text);

    AppInfo apps_;
    QLineEdit* filter_;
    QListWidget* list_;
    QPushButton* ok_;
};

}  // namespace tessary
