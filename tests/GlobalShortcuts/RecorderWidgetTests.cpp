#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "GlobalShortcuts/ui/Recorder.h"
#include "GlobalShortcuts/ui/RecorderWidget.h"
#include "Platform/Qt/QtLocalEvents.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"
#include "tests/Tessary/QtApplication.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

const Shortcut kNext(Key::rightArrow, kControlAlt);

// The module over the program's real event filter, and a window holding a recorder for "nextZone".
struct RecorderWindow {
    RecorderWindow() {
        layout->addWidget(recorder);
        active = module.recorderActiveStatusDidChange.subscribe([this](bool on) { notices.push_back(on); });
    }
    // A key as X11 delivers it, to whatever has the focus (the recorder holds the keyboard).
    void key(std::int64_t code, Qt::Key qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t symbol = 0) {
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, SimKeyboardLayout::nativeKeyCode(code), symbol, 0);
        QApplication::sendEvent(recorder, &event);
    }
    void click() { QTest::mouseClick(recorder, Qt::LeftButton, {}, QPoint(10, 5)); }
    void save(QWidget* widget, const char* name) {
        widget->grab().save(QCoreApplication::applicationDirPath() + "/" + name + ".png");
    }
    // Answers the next alert with the named button, after a screenshot of it.
    void answerAlert(const QString& button, const char* screenshot = nullptr) {
        QTimer::singleShot(0, [=, this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            alerts.push_back(box->text().toStdString() + " " + std::to_string(box->buttons().size()));
            if (screenshot) save(box, screenshot);
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == button) b->click();
            }
        });
    }

    QApplication& application = qttest::qtApplication();
    ShortcutsWorld sims;
    QtLocalEvents events{sims.keyboard};
    GlobalShortcuts module{{sims.defaults, sims.hotKeys, sims.keyboard, events, sims.scheduler}};
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    RecorderWidget* recorder = new RecorderWidget(module, GlobalShortcuts::Name("nextZone", kNext));
    std::vector<bool> notices;
    std::vector<std::string> alerts;
    Subscription active;
};

TEST(RecorderWidget, AClickRecordsButShowingTheWindowDoesNot) {
    RecorderWindow w;
    w.window.show();
    w.window.activateWindow();
    w.recorder->setFocus(Qt::ActiveWindowFocusReason);
    EXPECT_FALSE(w.recorder->model().isRecording());
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+Right");
    EXPECT_EQ(RecorderWidget(w.module, std::optional<Shortcut>()).sizeHint().width(), 130);
    w.save(&w.window, "recorder-idle");

    w.click();
    EXPECT_TRUE(w.recorder->model().isRecording());
    EXPECT_EQ(w.recorder->placeholderText().toStdString(), "Press Shortcut");
    EXPECT_TRUE(w.module.isPaused());
    EXPECT_EQ(w.notices, std::vector<bool>{true});
    w.recorder->setText(QString());  // as while recording an empty field
    w.save(&w.window, "recorder-recording");
    w.recorder->model().view.refresh();

    w.key(Key::rightArrow.rawValue, Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+Super+Right");
    EXPECT_FALSE(w.recorder->model().isRecording());
    EXPECT_FALSE(w.module.isPaused());
    EXPECT_EQ(w.notices, (std::vector<bool>{true, false}));
    EXPECT_EQ(w.module.getShortcut(GlobalShortcuts::Name("nextZone")),
              Shortcut(Key::rightArrow, kControlAlt | carbon::cmdKey));
    EXPECT_GE(w.recorder->sizeHint().width(),
              w.recorder->fontMetrics().horizontalAdvance(w.recorder->text()) + 2 * w.recorder->height())
        << "the whole text shows, clear of the button";
    QApplication::processEvents();
    w.save(&w.window, "recorder-holding");
}

TEST(RecorderWidget, TabRecordsAndHidingEndsIt) {
    RecorderWindow w;
    auto* before = new QLineEdit(&w.window);
    w.layout->insertWidget(0, before);
    w.window.show();
    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    before->setFocus(Qt::OtherFocusReason);
    EXPECT_FALSE(w.recorder->model().isRecording());
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_TRUE(w.recorder->model().isRecording());
    w.recorder->hide();
    EXPECT_FALSE(w.recorder->model().isRecording());
    EXPECT_FALSE(w.module.isPaused());
}

TEST(RecorderWidget, TypingAndPastingChangeNothingAndClearingRemovesTheShortcut) {
    RecorderWindow w;
    w.window.show();
    QTest::keyClicks(w.recorder, "abc");
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+Right");

    w.click();
    w.key(Key::delete_.rawValue, Qt::Key_Backspace, {}, 0xff08);
    EXPECT_EQ(w.recorder->text().toStdString(), "");
    EXPECT_TRUE(w.recorder->model().isRecording()) << "ready for the replacement";
    EXPECT_EQ(w.sims.stored("nextZone"), "false");

    w.module.setShortcut(kNext, GlobalShortcuts::Name("nextZone"));
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+Right") << "a change elsewhere shows";
    QAction* clearButton = nullptr;
    for (QAction* action : w.recorder->findChildren<QAction*>()) {
        if (action->objectName() == QLatin1String("_q_qlineeditclearaction")) clearButton = action;
    }
    ASSERT_TRUE(clearButton);
    QToolButton* button = nullptr;
    for (QToolButton* b : w.recorder->findChildren<QToolButton*>()) {
        if (b->defaultAction() == clearButton) button = b;
    }
    ASSERT_TRUE(button);
    button->click();
    EXPECT_EQ(w.sims.stored("nextZone"), "false");
}

TEST(RecorderWidget, ATakenCombinationAsksAndIsRecordedWhenForced) {
    RecorderWindow w;
    w.window.show();
    w.sims.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
    w.click();
    w.answerAlert("OK", "recorder-taken-alert");
    w.key(Key::k.rawValue, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+Right");
    EXPECT_TRUE(w.recorder->model().isRecording()) << "recording resumes after the alert";

    w.answerAlert("Use Anyway");
    w.key(Key::k.rawValue, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+K");
    ASSERT_EQ(w.alerts.size(), 2u);
    EXPECT_EQ(w.alerts[0], recorderText("keyboard_shortcut_used_by_system") + " 2");
}

TEST(RecorderWidget, AnAncestorsPolicyAndABindingSource) {
    RecorderWindow w;
    std::optional<Shortcut> owned = kNext;
    std::vector<std::string> seen;
    auto* row = new Recorder(w.module,
                             Recorder::Binding{[&] { return owned; }, [&](std::optional<Shortcut> s) { owned = s; }},
                             "Next zone", [&](std::optional<Shortcut>) {
                                 seen.push_back(owned ? w.module.description(*owned) : "none");
                             });
    setConflictPolicy(&w.window, ConflictPolicy::permissive);
    w.layout->addWidget(row);
    w.window.show();
    w.sims.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
    QTest::mouseClick(&row->field(), Qt::LeftButton, {}, QPoint(10, 5));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier,
                    SimKeyboardLayout::nativeKeyCode(Key::k.rawValue), 0, 0);
    QApplication::sendEvent(&row->field(), &press);
    EXPECT_TRUE(w.alerts.empty()) << "the permissive policy allows it";
    EXPECT_EQ(seen, std::vector<std::string>{"Ctrl+Alt+K"}) << "the owner's value is written first";
    EXPECT_EQ(w.sims.stored("nextZone"), R"({"carbonKeyCode":124,"carbonModifiers":6144})")
        << "a binding stores nothing by name";
}

TEST(RecorderWidget, ARecorderDestroyedWhileRecordingLiftsThePause) {
    RecorderWindow w;
    w.window.show();
    w.click();
    ASSERT_TRUE(w.module.isPaused());
    delete w.recorder;
    EXPECT_FALSE(w.module.isPaused());
    EXPECT_EQ(w.notices, (std::vector<bool>{true, false}));
}

}  // namespace
