#include "Tessary/settings/ui/AppRow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

QIcon AppRow::applicationIcon(const AppInfo& info, const std::string& bundleID) {
    if (const auto icon = info.icon(bundleID)) {
        const QString name = QString::fromStdString(*icon);
        if (QFileInfo(name).isAbsolute()) {
            if (QFileInfo::exists(name) && drawsSomething(QIcon(name))) return QIcon(name);
        } else if (QIcon::hasThemeIcon(name) && drawsSomething(QIcon::fromTheme(name))) {
            return QIcon::fromTheme(name);
        }
    }
    return symbolIcon(QStringLiteral("app.dashed"));
}

AppRow::AppRow(const AppInfo& info, const std::string& bundleID, int iconSize, const std::optional<std::string>& subtitle,
               QWidget* parent)
    : QWidget(parent), name_(SettingsForm::plainLabel(QString::fromStdString(info.appDisplayName(bundleID)), this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(10);
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon(info, bundleID).pixmap(iconSize, iconSize));
    icon->setFixedSize(iconSize, iconSize);
    row->addWidget(icon);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(1);
    name_->setObjectName(QStringLiteral("appName"));
    lines->addWidget(name_);
    auto* second = SettingsForm::captionLabel({}, this);
    second->setWordWrap(false);
    second->setObjectName(QStringLiteral("appSubtitle"));
    const QString text = QString::fromStdString(subtitle.value_or(bundleID));
    if (!subtitle) {
        QFont mono = second->font();
        mono.setStyleHint(QFont::Monospace);
        mono.setFamily(QStringLiteral("monospace"));
        second->setFont(mono);
    }
    second->setText(second->fontMetrics().elidedText(text, Qt::ElideMiddle, 360));
    second->setToolTip(text);
    lines->addWidget(second);
    row->addLayout(lines, 1);
}

}  // namespace tessary
