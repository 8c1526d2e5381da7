#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "Tessary/shell/ui/ConfirmDestructive.h"
#include "tests/Tessary/QtApplication.h"

using namespace tessary;

namespace {

using qttest::buttonTitled;

// What the alert looked like when it came up.
struct Seen {
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget* parent = nullptr;
    QMessageBox::ButtonRole confirmRole = QMessageBox::InvalidRole;
    QMessageBox::ButtonRole cancelRole = QMessageBox::InvalidRole;
    bool confirmIsLeftOfCancel = false;
};

Seen look(QMessageBox& box) {
    Seen seen{box.text(), box.informativeText(), box.icon(), box.windowModality(), box.parentWidget()};
    QAbstractButton* confirm = buttonTitled(box, "Delete");
    QAbstractButton* cancel = buttonTitled(box, "Cancel");
    if (confirm && cancel) {
        seen.confirmRole = box.buttonRole(confirm);
        seen.cancelRole = box.buttonRole(cancel);
        seen.confirmIsLeftOfCancel = confirm->mapTo(&box, QPoint()).x() < cancel->mapTo(&box, QPoint()).x();
    }
    return seen;
}

}  // namespace

TEST(ConfirmDestructive, TheSameAlertOnAWindowOrModalAndOnlyTheFirstButtonActs) {
    qttest::qtApplication();
    enum class Answer { confirm, cancel, escape, windowGoneFirst, windowHiddenFirst };
    struct Case {
        const char* name;
        bool withWindow;
        Answer answer;
        int runs;
    };
    const Case cases[] = {
        {"confirmOnTheWindowRunsOnce", true, Answer::confirm, 1},
        {"cancelOnTheWindow", true, Answer::cancel, 0},
        {"escapeOnTheWindow", true, Answer::escape, 0},
        {"theWindowDestroyedBeforeTheAnswer", true, Answer::windowGoneFirst, 0},
        {"theWindowHiddenBeforeTheAnswer", true, Answer::windowHiddenFirst, 0},
        {"confirmWithoutAWindowRunsBeforeReturning", false, Answer::confirm, 1},
        {"cancelWithoutAWindow", false, Answer::cancel, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> window;
        if (c.withWindow) {
            window = std::make_unique<QWidget>();
            window->resize(400, 300);
            window->show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        ASSERT_EQ(QApplication::activeWindow(), window.get());
        QWidget* const owner = window.get();

        int runs = 0;
        Seen seen;
        QPointer<QMessageBox> shown;
        const auto answer = [&] {
            shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shown) return;
            seen = look(*shown);
            switch (c.answer) {
            case Answer::confirm: buttonTitled(*shown, "Delete")->click(); break;
            case Answer::cancel: buttonTitled(*shown, "Cancel")->click(); break;
            case Answer::escape: QTest::keyClick(shown, Qt::Key_Escape); break;
            case Answer::windowGoneFirst: break;
            case Answer::windowHiddenFirst: break;
            }
        };
        bool returned = false;
        if (!c.withWindow) QTimer::singleShot(0, answer);
        confirmDestructive("Delete the selected zones?", "Delete", [&] {
            EXPECT_FALSE(returned && !c.withWindow) << "a modal alert acts before the call returns";
            ++runs;
        });
        returned = true;
        if (c.withWindow) {
            answer();
            if (c.answer == Answer::windowHiddenFirst) {
                window->hide();
                buttonTitled(*shown, "Delete")->click();
            }
            if (c.answer == Answer::windowGoneFirst) {
                window.reset();
                EXPECT_TRUE(shown.isNull()) << "the alert goes with its window";
            }
            if (shown && c.answer == Answer::confirm) Q_EMIT shown->finished(QDialog::Accepted);  // a second answer
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(runs, c.runs);
        EXPECT_EQ(seen.text, "Delete the selected zones?");
        EXPECT_EQ(seen.informative, "This cannot be undone.");
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_EQ(seen.modality, c.withWindow ? Qt::WindowModal : Qt::ApplicationModal);
        EXPECT_EQ(seen.parent, owner);
        EXPECT_EQ(seen.confirmRole, QMessageBox::DestructiveRole);
        EXPECT_EQ(seen.cancelRole, QMessageBox::RejectRole);
        EXPECT_TRUE(seen.confirmIsLeftOfCancel);
    }
}
