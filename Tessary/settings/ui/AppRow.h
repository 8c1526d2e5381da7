#pragma once

#include <QWidget>

#include <optional>
#include <string>

class QLabel;

namespace tessary {

class AppInfo;

// One application in a list: its icon, its name and, under it, its identifier (or a subtitle),
// both as plain text. Names come from other programs' .desktop files and are never read as markup.
// Each keeps to one line within the row, cut with "…", so a narrow list never scrolls sideways.
class AppRow final : public QWidget {
public:
    AppRow(const AppInfo& info, const std::string& bundleID, int iconSize,
           const std::optional<std::string>& subtitle = std::nullopt, QWidget* parent = nullptr);

    QLabel* nameLabel() const { return name_; }

    // The entry's theme icon or image when it shows something, else the "app" symbol.
    static QIcon applicationIcon(const AppInfo& info, const std::string& bundleID);

private:
    QLabel* name_;
};

}  // namespace tessary
