#include "Tessary/settings/ui/AppRow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/StatusItemController.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

QIcon applicationIcon(const AppInfo& apps, const std::string& bundleID) {
    const auto name = apps.icon(bundleID);
    if (!name) return {};
    const QString text = QString::fromStdString(*name);
    if (text.startsWith(QLatin1Char('/'))) return QIcon(text);
    return QIcon::fromTheme(text);
}

AppRow::AppRow(const AppInfo& apps, const std::string& bundleID, int iconSize, std::optional<std::string> subtitle,
               QWidget* trailing, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(10);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("appIcon"));
    icon->setFixedSize(iconSize, iconSize);
    QIcon image = applicationIcon(apps, bundleID);
    const bool found = !image.isNull();
    if (!found) image = symbolIcon(QStringLiteral("app.dashed"));
    const int drawn = found ? iconSize : std::max(8, iconSize - 4);
    icon->setPixmap(image.pixmap(drawn, drawn));
    icon->setAlignment(Qt::AlignCenter);
    icon->setProperty("placeholder", !found);
    row->addWidget(icon);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(1);
    name_ = SettingsForm::plainLabel(QString::fromStdString(apps.appDisplayName(bundleID)), this);
    name_->setObjectName(QStringLiteral("appName"));
    second_ = SettingsForm::plainLabel({}, this);
    second_->setObjectName(QStringLiteral("appSubtitle"));
    QFont small = second_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    if (!subtitle) {
        small.setFamilies(QFontDatabase::systemFont(QFontDatabase::FixedFont).families());
        // The identifier is what the user needs to tell two entries apart: elided in the middle.
        second_->setText(QFontMetrics(small).elidedText(QString::fromStdString(bundleID), Qt::ElideMiddle, 220));
        second_->setToolTip(QString::fromStdString(bundleID));
    } else {
        second_->setText(QString::fromStdString(*subtitle));
    }
    second_->setFont(small);
    second_->setForegroundRole(QPalette::PlaceholderText);
    lines->addWidget(name_);
    lines->addWidget(second_);
    row->addLayout(lines, 1);
    if (trailing) row->addWidget(trailing);
}

QString AppRow::name() const { return name_->text(); }
QString AppRow::secondLine() const { return second_->text(); }
void AppRow::setSubtitle(const QString& subtitle) { second_->setText(subtitle); }

void fillApplicationMenu(QMenu* menu, const AppInfo& apps, std::function<void(const std::string&)> add,
                         std::function<void()> choose) {
    menu->clear();
    menu->addSection(QObject::tr("Running apps"));
    for (const AppInfo::RunningApp& app : apps.runningApps()) {
        QAction* item = menu->addAction(menuText(app.name));
        item->setData(QString::fromStdString(app.bundleID));
        QObject::connect(item, &QAction::triggered, menu, [add, id = app.bundleID] { add(id); });
    }
    menu->addSeparator();
    QAction* other = menu->addAction(QObject::tr("Choose Application\u2026"));
    other->setObjectName(QStringLiteral("chooseApplication"));
    QObject::connect(other, &QAction::triggered, menu, [choose] { choose(); });
}

}  // namespace tessary
