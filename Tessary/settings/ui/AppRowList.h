#pragma once

#include <QIcon>

#include <string>
#include <unordered_map>

#include "Tessary/shell/ui/RowListView.h"

namespace tessary {

class AppInfo;

// The look of an application row (AppRow) in a long list: the icon `iconSize` square, the name
// over a smaller second line; when that line is the application's identifier it is monospaced and
// cut in its middle.
RowLook appRowLook(int iconSize, bool identifierLine, QMargins padding);

// Rows that each show an application by its identifier, with AppRow's name and icon. Icons are
// looked up once per application while the list lives (a few hundred at most are kept).
class AppRowsModel : public RowListModel {
public:
    explicit AppRowsModel(const AppInfo& info, QObject* parent = nullptr) : RowListModel(parent), info_(info) {}

protected:
    QString appName(const std::string& bundleID) const;
    QIcon appIcon(const std::string& bundleID) const;

    const AppInfo& info_;

private:
    mutable std::unordered_map<std::string, QIcon> icons_;
};

}  // namespace tessary
