#include "Tessary/settings/ui/AddAppMenu.h"

#include <QMenu>

namespace tessary {

AppInfo makeAppInfo(const SettingsContext& context) {
    if (!context.launcher || !context.applications) return AppInfo({}, {});
    return AppInfo(*context.launcher, *context.applications);
}

void fillAddAppMenu(QMenu* menu, const AppInfo& info, const std::function<void(const std::string&)>& add,
                    const std::function<void()>& choose) {
    menu->clear();
    menu->addSection(QObject::tr("Running apps"));
    for (const AppInfo::RunningApp& app : info.runningApps()) {
        // A menu takes "&" as the mark of a shortcut letter; a name from another program means it literally.
        QAction* action = menu->addAction(QString::fromStdString(app.name).replace('&', QStringLiteral("&&")));
        QObject::connect(action, &QAction::triggered, menu, [add, id = app.bundleID] { add(id); });
    }
    menu->addSeparator();
    QAction* chooser = menu->addAction(QObject::tr("Choose Application\u2026"));
    QObject::connect(chooser, &QAction::triggered, menu, [choose] { choose(); });
}

}  // namespace tessary
