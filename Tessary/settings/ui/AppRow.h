#pragma once

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "Tessary/settings/AppInfo.h"

class QLabel;
class QMenu;

namespace tessary {

// One application in a list: its icon (or the dashed placeholder), its name, and under it the
// subtitle or, without one, the identifier in a small fixed-width font; then the trailing widget.
// Names and identifiers come from other programs, so every text is plain.
class AppRow final : public QWidget {
public:
    AppRow(const AppInfo& apps, const std::string& bundleID, int iconSize, std::optional<std::string> subtitle = {},
           QWidget* trailing = nullptr, QWidget* parent = nullptr);

    QString name() const;
    QString secondLine() const;
    void setSubtitle(const QString& subtitle);

private:
    QLabel* name_;
    QLabel* second_;
};

// The application's icon from the index: a theme icon by name or an image by path; null when the
// index has none.
QIcon applicationIcon(const AppInfo& apps, const std::string& bundleID);

// The "add" menu of the application lists: a "Running apps" section (one item per running
// application, calling `add`) and "Choose Application…". Cleared and filled again each time it
// opens, from a fresh index.
void fillApplicationMenu(QMenu* menu, const AppInfo& apps, std::function<void(const std::string&)> add,
                         std::function<void()> choose);

}  // namespace tessary
