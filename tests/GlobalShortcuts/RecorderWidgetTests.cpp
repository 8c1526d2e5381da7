#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
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
            titles.push_back(box->windowTitle().toStdString());
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
    std::vector<std::string> titles;
    Subscription active;
};

// One key of a typed combination, as X11 and Qt's xcb platform deliver it.
struct TypedKey {
    std::int64_t code;
    Qt::Key key;
    std::uint32_t symbol;
    Qt::KeyboardModifier modifier;  // the one it holds; Qt::NoModifier for the others
};
const TypedKey kCtrl{Key::control.rawValue, Qt::Key_Control, 0xffe3, Qt::ControlModifier};
const TypedKey kAlt{Key::option.rawValue, Qt::Key_Alt, 0xffe9, Qt::AltModifier};
const TypedKey kShift{Key::shift.rawValue, Qt::Key_Shift, 0xffe1, Qt::ShiftModifier};
const TypedKey kSuper{Key::command.rawValue, Qt::Key_Super_L, 0xffeb, Qt::MetaModifier};
const TypedKey kQ{Key::q.rawValue, Qt::Key_Q, 'q', Qt::NoModifier};
const TypedKey kOne{Key::one.rawValue, Qt::Key_1, '1', Qt::NoModifier};
const TypedKey kF5{Key::f5.rawValue, Qt::Key_F5, 0xffc2, Qt::NoModifier};
const TypedKey kLeft{Key::leftArrow.rawValue, Qt::Key_Left, 0xff51, Qt::NoModifier};
const TypedKey kEscape{Key::escape.rawValue, Qt::Key_Escape, 0xff1b, Qt::NoModifier};

struct KeyStroke {
    QEvent::Type type;
    TypedKey key;
    Qt::KeyboardModifiers modifiers;
};

// Keys pressed in order and let go in reverse, as a keyboard types them: a modifier's own press
// already carries its modifier, its release no longer does.
std::vector<KeyStroke> typing(const std::vector<TypedKey>& keys) {
    std::vector<KeyStroke> strokes;
    Qt::KeyboardModifiers held;
    for (const TypedKey& k : keys) {
        held |= k.modifier;
        strokes.push_back({QEvent::KeyPress, k, held});
    }
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        held &= ~Qt::KeyboardModifiers(k->modifier);
        strokes.push_back({QEvent::KeyRelease, *k, held});
    }
    return strokes;
}

// What the field shows: its text, or the placeholder it draws while it has none.
std::string shown(const QLineEdit* field) {
    return (field->text().isEmpty() ? field->placeholderText() : field->text()).toStdString();
}

void send(QWidget* to, const KeyStroke& stroke) {
    QKeyEvent event(stroke.type, stroke.key.key, stroke.modifiers, SimKeyboardLayout::nativeKeyCode(stroke.key.code),
                    stroke.key.symbol, 0);
    QApplication::sendEvent(to, &event);
}

TEST(RecorderWidget, CombinationsTypedAsAKeyboardDoes) {
    const struct {
        const char* name;
        std::vector<std::vector<TypedKey>> strokes;  // one typing() each, in turn
        std::string shownWhileHeld;                  // after the first press
        std::optional<Shortcut> stored;              // nothing: the default stays
        bool recording;
    } cases[] = {
        {"Ctrl+Q", {{kCtrl, kQ}}, "Ctrl+…", Shortcut(Key::q, carbon::controlKey), false},
        {"Ctrl+Alt+1", {{kCtrl, kAlt, kOne}}, "Ctrl+…", Shortcut(Key::one, kControlAlt), false},
        {"Ctrl+Shift+F5", {{kCtrl, kShift, kF5}}, "Ctrl+…", Shortcut(Key::f5, carbon::controlKey | carbon::shiftKey),
         false},
        {"Super+Left", {{kSuper, kLeft}}, "Super+…", Shortcut(Key::leftArrow, carbon::cmdKey), false},
        {"Alt let go without a key", {{kAlt}}, "Alt+…", std::nullopt, true},
        {"Shift alone, then Escape", {{kShift}, {kEscape}}, "Shift+…", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderWindow w;
        w.window.show();
        w.click();
        ASSERT_TRUE(w.recorder->model().isRecording());
        const std::string before = w.sims.stored("nextZone");
        std::vector<std::string> shown;
        for (const auto& stroke : c.strokes) {
            for (const KeyStroke& event : typing(stroke)) {
                send(w.recorder, event);
                shown.push_back(::shown(w.recorder));
            }
        }
        EXPECT_EQ(shown.front(), c.shownWhileHeld);
        EXPECT_EQ(w.module.getShortcut(GlobalShortcuts::Name("nextZone")), c.stored.value_or(kNext));
        if (!c.stored) {
            EXPECT_EQ(w.sims.stored("nextZone"), before) << "nothing stored";
        }
        EXPECT_EQ(::shown(w.recorder), c.recording ? "Press Shortcut" : w.module.description(c.stored.value_or(kNext)));
        EXPECT_EQ(w.recorder->model().isRecording(), c.recording);
        EXPECT_EQ(w.module.isPaused(), c.recording);
    }
}

// As in the settings the field sits on a scroll area, which takes the focus at a click's press.
TEST(RecorderWidget, AClickJustBesideTheFieldKeepsRecordingAndOneFurtherAwayEndsIt) {
    for (const auto& [gap, keeps] : {std::pair{2, true}, std::pair{5, false}}) {
        SCOPED_TRACE(gap);
        RecorderWindow w;
        auto* area = new QScrollArea;
        auto* content = new QWidget;
        content->setFixedSize(300, 100);
        area->setWidget(content);
        w.layout->addWidget(area);
        w.recorder->setParent(content);
        w.recorder->move(40, 40);
        w.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
        w.click();
        ASSERT_TRUE(w.recorder->model().isRecording());
        QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(40 - gap, 50));
        EXPECT_EQ(w.recorder->model().isRecording(), keeps);
        EXPECT_EQ(w.module.isPaused(), keeps);
        if (!keeps) continue;
        EXPECT_TRUE(w.recorder->hasFocus()) << "the field has the focus back";
        for (const KeyStroke& event : typing({kCtrl, kQ})) send(w.recorder, event);
        EXPECT_EQ(w.module.getShortcut(GlobalShortcuts::Name("nextZone")), Shortcut(Key::q, carbon::controlKey));
    }
}

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

// What the field draws, as columns that hold ink (text, or a caret) between its two ends.
int inkColumns(const QImage& image) {
    const QColor base = image.pixelColor(image.width() / 2, 2);
    int columns = 0;
    for (int x = 4; x < image.width() - 4; ++x) {
        for (int y = 4; y < image.height() - 4; ++y) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.lightness() - base.lightness()) > 40) {
                ++columns;
                break;
            }
        }
    }
    return columns;
}

// Recording, a field says so on the screen, empty or holding a shortcut, and draws no caret that
// blinks (the window has the focus, as in the settings).
TEST(RecorderWidget, ARecordingFieldDrawsThePromptAndNoCaret) {
    for (const bool empty : {true, false}) {
        SCOPED_TRACE(empty ? "empty" : "holding a shortcut");
        RecorderWindow w;
        if (empty) w.module.setShortcut(std::nullopt, GlobalShortcuts::Name("nextZone", kNext));
        w.window.show();
        w.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
        w.click();
        ASSERT_TRUE(w.recorder->hasFocus());
        ASSERT_TRUE(w.recorder->model().isRecording());
        std::vector<QImage> frames;
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(150);
            frames.push_back(w.recorder->grab().toImage());
        }
        const int prompt = w.recorder->fontMetrics().horizontalAdvance(QStringLiteral("Press Shortcut"));
        EXPECT_GT(inkColumns(frames.front()), prompt * 2 / 3) << "the prompt is drawn";
        EXPECT_LT(inkColumns(frames.front()), prompt + 4) << "and nothing else";
        for (const QImage& frame : frames) EXPECT_EQ(frame, frames.front()) << "no caret blinks";
        if (!empty) w.save(w.recorder, "recorder-recording");
    }
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

    w.key(Key::escape.rawValue, Qt::Key_Escape, {}, 0xff1b);
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

// The clear button as a mouse reaches it: the press focuses the field first, then the release
// clicks. A field that started recording at that press hid the button before the release.
TEST(RecorderWidget, AMouseClickOnTheClearButtonClearsAndThenRecords) {
    RecorderWindow w;
    auto* other = new QPushButton("Other");
    w.layout->insertWidget(0, other);
    w.window.show();
    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    other->setFocus();
    QToolButton* button = nullptr;
    for (QToolButton* b : w.recorder->findChildren<QToolButton*>()) {
        if (b->defaultAction() && b->defaultAction()->objectName() == QLatin1String("_q_qlineeditclearaction")) button = b;
    }
    ASSERT_TRUE(button);
    ASSERT_FALSE(w.recorder->hasFocus());
    // A hand takes longer between press and release than the button takes to fade out.
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QTest::qWait(300);
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    EXPECT_EQ(w.sims.stored("nextZone"), "false");
    EXPECT_EQ(w.recorder->text().toStdString(), "");
    EXPECT_TRUE(w.recorder->model().isRecording()) << "ready for the replacement";

    // A press on the field itself still starts a recording, and Escape then keeps what is stored.
    w.key(Key::escape.rawValue, Qt::Key_Escape, {}, 0xff1b);
    ASSERT_FALSE(w.recorder->model().isRecording());
    w.click();
    EXPECT_TRUE(w.recorder->model().isRecording());
}

// A pane of recorders opened again and again draws no icon of its own: every recorder shows the one
// clear icon drawn for its colours, and another appearance gets one of its own.
TEST(RecorderWidget, RecordersShareTheClearIconDrawnForTheirColours) {
    RecorderWindow w;
    auto* second = new RecorderWidget(w.module, GlobalShortcuts::Name("nextZone", kNext));
    w.layout->addWidget(second);
    w.window.show();
    const auto clearIcon = [](RecorderWidget* recorder) {
        for (QAction* action : recorder->findChildren<QAction*>()) {
            if (action->objectName() == QLatin1String("_q_qlineeditclearaction")) return action->icon().cacheKey();
        }
        return qint64(0);
    };
    const qint64 shared = clearIcon(w.recorder);
    ASSERT_NE(shared, 0);
    EXPECT_EQ(clearIcon(second), shared);

    QPalette dark = second->palette();
    dark.setColor(QPalette::Active, QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    dark.setColor(QPalette::Active, QPalette::Text, Qt::white);
    second->setPalette(dark);
    EXPECT_NE(clearIcon(second), shared) << "drawn in the new colours";
    second->setPalette(w.recorder->palette());
    EXPECT_EQ(clearIcon(second), shared);
    delete second;
    auto* later = new RecorderWidget(w.module, GlobalShortcuts::Name("nextZone", kNext));
    w.layout->addWidget(later);
    EXPECT_EQ(clearIcon(later), shared) << "a recorder made later draws none";
}

TEST(RecorderWidget, EscapeInTheTakenAlertKeepsTheOldShortcut) {
    RecorderWindow w;
    w.window.show();
    w.sims.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
    w.click();
    bool asked = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        asked = true;
        QTest::keyClick(box, Qt::Key_Escape);
        // A box that ignored Escape is answered "use anyway", so that the test fails, not hangs.
        QTimer::singleShot(500, [] {
            if (auto* still = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) still->buttons().back()->click();
        });
    });
    w.key(Key::k.rawValue, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(asked);
    EXPECT_EQ(w.module.getShortcut(GlobalShortcuts::Name("nextZone")), kNext);
    EXPECT_EQ(w.recorder->text().toStdString(), "") << "recording resumes after the alert";
}

TEST(RecorderWidget, ATakenCombinationAsksAndIsRecordedWhenForced) {
    RecorderWindow w;
    w.window.show();
    w.sims.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
    w.click();
    w.answerAlert("OK", "recorder-taken-alert");
    w.key(Key::k.rawValue, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(w.module.getShortcut(GlobalShortcuts::Name("nextZone")), kNext);
    EXPECT_TRUE(w.recorder->model().isRecording()) << "recording resumes after the alert";

    w.answerAlert("Use Anyway");
    w.key(Key::k.rawValue, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(w.recorder->text().toStdString(), "Ctrl+Alt+K");
    ASSERT_EQ(w.alerts.size(), 2u);
    EXPECT_EQ(w.alerts[0], recorderText("keyboard_shortcut_used_by_system") + " 2");
    EXPECT_EQ(w.titles, (std::vector<std::string>{"Tessary", "Tessary"})) << "whatever the process is called";
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

// Lifting the pause tries the refused shortcuts again; the recorder going away must not hear of it.
TEST(RecorderWidget, ARecorderDestroyedWhileRecordingIsNotToldOfItsShortcutComingFree) {
    RecorderWindow w;
    w.sims.hotKeys.takenByOthers.insert({Key::rightArrow.rawValue, kControlAlt});
    w.module.onKeyDown(GlobalShortcuts::Name("nextZone"), [] {});
    w.window.show();
    ASSERT_FALSE(w.recorder->accessibleDescription().isEmpty());
    w.click();
    w.sims.hotKeys.takenByOthers.clear();
    delete w.recorder;
    EXPECT_TRUE(w.module.isActive(GlobalShortcuts::Name("nextZone")));
}

}  // namespace
