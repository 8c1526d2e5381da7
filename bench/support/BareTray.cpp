// The reference for the program's resident memory: a Qt Widgets program that does nothing but show
// a tray icon with a one-item menu, as the program's own status item does. Started beside the
// program in the same run, on the same desktop. Prints "embedded" once its icon is visible.

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setBrush(Qt::black);
        painter.drawRect(3, 3, 16, 16);
    }
    QSystemTrayIcon icon{QIcon(pixmap)};
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &application, &QCoreApplication::quit);
    icon.setContextMenu(&menu);
    icon.show();
    // The tray host embeds the icon after an exchange of messages; its geometry says when.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (icon.geometry().isEmpty()) return;
        std::puts("embedded");
        std::fflush(stdout);
        poll.stop();
    });
    poll.start(20);
    return application.exec();
}
