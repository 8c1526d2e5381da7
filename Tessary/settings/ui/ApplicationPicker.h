#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;

namespace tessary {

class AppInfo;

// "Choose Application…": the installed applications, filtered as the user types, each row showing
// the identifier a rule or an exclusion will store. One choice or several; OK hands the chosen
// identifiers on in list order. Window-modal on its parent; deletes itself when closed.
class ApplicationPicker final : public QDialog {
public:
    ApplicationPicker(const AppInfo& info, bool multiple, std::function<void(std::vector<std::string>)> chosen,
                      QWidget* parent);

    QLineEdit* filter() const { return filter_; }
    QListWidget* list() const { return list_; }

private:
    void applyFilter(const QString& text);

    QLineEdit* filter_;
    QListWidget* list_;
};

}  // namespace tessary
