#pragma once

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace tessary::qttest {

// Saves the window as build/test/tests/integrations-screens/NAME.png, for a person to look at.
inline void screenshot(QWidget* window, const QString& name) {
    const QString folder = QStringLiteral(QT_TESTCASE_BUILDDIR) + "/integrations-screens";
    QDir().mkpath(folder);
    window->grab().save(folder + "/" + name + ".png");
}

}  // namespace tessary::qttest
