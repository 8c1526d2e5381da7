// The reference for the settings window's opening: a Qt Widgets program with a window of the same
// size and kind: a sidebar of nine icon rows beside a pane of grouped rows (labels over caption
// lines, check boxes, combo boxes, buttons) in a scroll area, a bold title and a footer. It does
// what a plain Qt program does: it builds the window once and hides it when closed.
//
// Reads its standard input: "show" shows the window and brings it to the front. Prints "ready"
// once it reads. Started beside the program in the same run, on the same desktop.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSocketNotifier>
#include <QVBoxLayout>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

QWidget* twoLines(const QString& title, const QString& caption) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(new QLabel(title));
    auto* small = new QLabel(caption);
    small->setWordWrap(true);
    QFont font = small->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    small->setFont(font);
    column->addWidget(small);
    return box;
}

QWidget* pane() {
    auto* form = new QWidget;
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(20, 8, 20, 20);
    for (int section = 0; section < 4; ++section) {
        column->addWidget(new QLabel(QStringLiteral("Section %1").arg(section + 1)));
        auto* card = new QWidget;
        auto* rows = new QVBoxLayout(card);
        for (int i = 0; i < 4; ++i) {
            auto* row = new QHBoxLayout;
            row->addWidget(twoLines(QStringLiteral("Setting %1.%2").arg(section + 1).arg(i + 1),
                                    QStringLiteral("What this setting changes, said in one line under its title.")),
                           1);
            switch (i % 3) {
            case 0: row->addWidget(new QCheckBox); break;
            case 1: {
                auto* choice = new QComboBox;
                choice->addItems({QStringLiteral("Left"), QStringLiteral("Middle"), QStringLiteral("Right")});
                row->addWidget(choice);
                break;
            }
            default: row->addWidget(new QPushButton(QIcon::fromTheme(QStringLiteral("edit-undo")), QStringLiteral("Reset")));
            }
            rows->addLayout(row);
        }
        column->addWidget(card);
    }
    column->addStretch();
    return form;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }

    QWidget window;
    window.setObjectName(QStringLiteral("BareSettingsWindow"));
    window.setWindowTitle(QStringLiteral("Bare Settings"));
    window.setFixedSize(860, 580);
    auto* columns = new QHBoxLayout(&window);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    auto* side = new QWidget;
    side->setFixedWidth(200);
    auto* sideColumn = new QVBoxLayout(side);
    auto* sidebar = new QListWidget;
    sidebar->setIconSize(QSize(18, 18));
    const char* icons[] = {"preferences-system", "input-mouse",      "view-grid",     "input-keyboard",   "view-list",
                           "view-app-grid",      "action-unavailable", "emblem-synchronizing", "help-about"};
    const char* titles[] = {"General", "Snapping", "Zones", "Shortcuts", "Rules", "Workspaces", "Excluded Apps", "Sync", "About"};
    for (int i = 0; i < 9; ++i) sidebar->addItem(new QListWidgetItem(QIcon::fromTheme(icons[i]), titles[i]));
    sidebar->setCurrentRow(0);
    sideColumn->addWidget(sidebar, 1);
    sideColumn->addWidget(new QLabel(QStringLiteral("Window control granted")));
    columns->addWidget(side);
    auto* detail = new QWidget;
    auto* detailColumn = new QVBoxLayout(detail);
    auto* title = new QLabel(QStringLiteral("General"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setBold(true);
    title->setFont(titleFont);
    detailColumn->addWidget(title);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(pane());
    detailColumn->addWidget(scroll, 1);
    columns->addWidget(detail, 1);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            application.quit();
            return;
        }
        pending.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            if (pending.compare(0, end, "show") != 0) continue;
            window.show();
            window.raise();
            window.activateWindow();
        }
    });
    std::puts("ready");
    std::fflush(stdout);
    return application.exec();
}
