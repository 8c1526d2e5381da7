#include "Tessary/settings/ui/AppRowList.h"

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/AppRow.h"

namespace tessary {

RowLook appRowLook(int iconSize, bool identifierLine, QMargins padding) {
    RowLook look;
    look.picture = RowLook::Picture::icon;
    look.pictureWidth = iconSize;
    look.padding = padding;
    look.spacing = 10;
    look.subtitleScale = 0.9;
    if (identifierLine) {
        look.subtitleMonospace = true;
        look.subtitleElide = Qt::ElideMiddle;
    }
    return look;
}

QString AppRowsModel::appName(const std::string& bundleID) const { return QString::fromStdString(info_.appDisplayName(bundleID)); }

QIcon AppRowsModel::appIcon(const std::string& bundleID) const {
    constexpr std::size_t kept = 256;
    if (const auto found = icons_.find(bundleID); found != icons_.end()) return found->second;
    // Scrolling through thousands of applications keeps only the latest.
    if (icons_.size() >= kept) icons_.clear();
    return icons_.emplace(bundleID, AppRow::applicationIcon(info_, bundleID)).first->second;
}

}  // namespace tessary
