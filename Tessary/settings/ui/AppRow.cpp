#include "Tessary/settings/ui/AppRow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

namespace {

// An application's icon from its desktop entry's Icon= (a file or a theme name), else the symbol.
QIcon iconNamed(const std::optional<std::string>& icon) {
    if (icon) {
        const QString name = QString::fromStdString(*icon);
        if (QFileInfo(name).isAbsolute()) {
            if (QFileInfo::exists(name) && drawsSomething(QIcon(name))) return QIcon(name);
        } else if (QIcon::hasThemeIcon(name) && drawsSomething(QIcon::fromTheme(name))) {
            return QIcon::fromTheme(name);
        }
    }
    return symbolIcon(QStringLiteral("app.dashed"));
}

}  // namespace

QIcon AppRow::applicationIcon(const AppInfo& info, const std::string& bundleID) { return iconNamed(info.icon(bundleID)); }

AppRow::AppRow(const AppInfo& info, const std::string& bundleID, int iconSize, const std::optional<std::string>& subtitle,
               QWidget* parent)
    : QWidget(parent), name_(new ElidedLabel(QString::fromStdString(info.appDisplayName(bundleID)), this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(10);
    auto* icon = new QLabel(this);
    showIcon(*icon, [named = info.icon(bundleID)] { return iconNamed(named); }, iconSize);
    icon->setFixedSize(iconSize, iconSize);
    row->addWidget(icon);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(1);
    name_->setObjectName(QStringLiteral("appName"));
    lines->addWidget(name_);
    // One line within the row, however narrow the list: a summary is cut at its end, an
    // identifier in its middle, both with "…" and whole in the tool tip.
    const QString text = QString::fromStdString(subtitle.value_or(bundleID));
    auto* second = new ElidedLabel(text, this, subtitle ? Qt::ElideRight : Qt::ElideMiddle);
    second->setForegroundRole(QPalette::PlaceholderText);
    QFont small = second->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    second->setFont(small);
    second->setObjectName(QStringLiteral("appSubtitle"));
    if (!subtitle) {
        QFont mono = second->font();
        mono.setStyleHint(QFont::Monospace);
        mono.setFamily(QStringLiteral("monospace"));
        second->setFont(mono);
    }
    lines->addWidget(second);
    row->addLayout(lines, 1);
}

}  // namespace tessary
