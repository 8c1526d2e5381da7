#include "Tessary/settings/ui/AddAppMenu.h"

#include <QMenu>

#include "Tessary/shell/ui/PlainText.h"

namespace tessary {

AppInfo makeAppInfo(const SettingsContext& context) {
    if (!context.launcher || !context.applications) return AppInfo({}, {});
    return AppInfo(*context.launcher, *context.applications);
}

void fillAddAppMenu(QMenu* menu, const std::vector<AppInfo::RunningApp>& running,
                    const std::function<void(const std::string&)>& add, const std::function<void()>& choose) {
    menu->clear();
    menu->addSection(QObject::tr("Running apps"));
    for (const AppInfo::RunningApp& app : running) {
        QAction* action = menu->addAction(menuItemText(QString::fromStdString(app.name)));
        QObject::connect(action, &QAction::triggered, menu, [add, id = app.bundleID] { add(id); });
    }
    menu->addSeparator();
    QAction* chooser = menu->addAction(QObject::tr("Choose Application\u2026"));
    QObject::connect(chooser, &QAction::triggered, menu, [choose] { choose(); });
}

}  // namespace tessary
