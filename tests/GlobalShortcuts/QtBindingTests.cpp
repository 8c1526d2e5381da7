#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include "GlobalShortcuts/ui/MenuShortcutSearch.h"
#include "GlobalShortcuts/ui/ShortcutKeySequence.h"
#include "GlobalShortcuts/ui/ViewModifiers.h"
#include "Platform/Qt/QtLocalEvents.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"
#include "tests/Tessary/QtApplication.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

const Shortcut kZ(Key::z, kControlAlt);

// A key as the X11 platform delivers it: the native key code is what names the key.
bool sendKey(QWidget* to, QEvent::Type type, std::int64_t carbonCode, Qt::Key key, Qt::KeyboardModifiers modifiers,
             bool repeat = false) {
    QKeyEvent event(type, key, modifiers, SimKeyboardLayout::nativeKeyCode(carbonCode), 0, 0, QString(), repeat);
    event.setAccepted(false);
    QApplication::sendEvent(to, &event);
    return event.isAccepted();
}

class QtBindings : public ::testing::Test, public ShortcutsWorld {
protected:
    QtBindings() { qttest::qtApplication(); }
};

TEST_F(QtBindings, LocalEventsSeeEachKeyOnceAndMayStopIt) {
    QtLocalEvents events(keyboard);
    std::vector<LocalEvent> seen;
    bool consume = false;
    Subscription monitor = events.addMonitor(localEventBit(LocalEventType::keyDown), [&](const LocalEvent& e) {
        seen.push_back(e);
        return consume ? std::nullopt : std::optional<LocalEvent>(e);
    });
    QWidget window;
    auto* child = new QWidget(&window);
    // A plain widget ignores keys: the press travels to its parent, offered to the filter again.
    sendKey(child, QEvent::KeyPress, Key::z.rawValue, Qt::Key_Z, Qt::ControlModifier | Qt::MetaModifier);
    sendKey(child, QEvent::KeyRelease, Key::z.rawValue, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].carbonKeyCode, Key::z.rawValue);
    EXPECT_EQ(seen[0].carbonModifiers, carbon::controlKey | carbon::cmdKey) << "Meta is Super";

    // A consumed press never reaches the widget (which would otherwise take Return).
    struct Taker : QWidget {
        int presses = 0;
        void keyPressEvent(QKeyEvent* e) override { ++presses, e->accept(); }
    } taker;
    consume = true;
    sendKey(&taker, QEvent::KeyPress, Key::return_.rawValue, Qt::Key_Return, {});
    EXPECT_EQ(taker.presses, 0);
    consume = false;
    sendKey(&taker, QEvent::KeyPress, Key::return_.rawValue, Qt::Key_Return, {});
    EXPECT_EQ(taker.presses, 1);
    EXPECT_EQ(seen.size(), 3u);
}

// The program's application offers its local events only the program's input: a socket notice or
// a timer, one of which comes with every pointer motion of a drag, never reaches them; and the
// local events take the application's offers rather than an application-wide filter.
TEST_F(QtBindings, TheProgramsApplicationOffersOnlyInputToTheLocalEvents) {
    auto* application = dynamic_cast<QtApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    struct Reader : QObject {
        std::vector<QEvent::Type> offered;
        bool eventFilter(QObject*, QEvent* event) override {
            offered.push_back(event->type());
            return false;
        }
    } reader;
    QObject* const before = application->inputReader();
    application->setInputReader(&reader);
    QObject notifier;
    QEvent socket(QEvent::SockAct);
    QCoreApplication::sendEvent(&notifier, &socket);
    QTimerEvent timer(1);
    QCoreApplication::sendEvent(&notifier, &timer);
    QWidget window;
    sendKey(&window, QEvent::KeyPress, Key::z.rawValue, Qt::Key_Z, {});
    application->setInputReader(before);
    EXPECT_EQ(reader.offered, std::vector<QEvent::Type>{QEvent::KeyPress});

    {
        QtLocalEvents events(keyboard);
        EXPECT_EQ(application->inputReader(), &events);
    }
    EXPECT_EQ(application->inputReader(), nullptr) << "a reader gone is not offered events";
}

// Qt closes every open popup when it hears the program lost the focus, which it hears 100 ms after
// a window of ours lost it: a menu opened meanwhile stays open. The menu that had the focus itself
// closes when it loses it, as a loss Qt names no window for does.
TEST_F(QtBindings, AMenuStaysOpenWhenQtHearsLateOfAWindowThatLostTheFocus) {
    enum class Lost { window, menu, none };
    const struct {
        const char* name;
        Lost lost;
        bool staysOpen;
    } cases[] = {
        {"a window lost the focus before the menu opened", Lost::window, true},
        {"the menu lost the focus", Lost::menu, false},
        {"no window named", Lost::none, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        QWidget window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QMenu menu;
        menu.addAction("Show Zones");
        menu.popup(QPoint(10, 10));
        ASSERT_EQ(QApplication::activePopupWidget(), &menu);
        // As Qt tells them: the window that had the focus, then the application.
        if (test.lost != Lost::none) {
            QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(test.lost == Lost::window ? window.windowHandle() : menu.windowHandle(), &focusOut);
        }
        QEvent deactivate(QEvent::ApplicationDeactivate);
        QCoreApplication::sendEvent(qApp, &deactivate);
        EXPECT_EQ(menu.isVisible(), test.staysOpen);
        menu.close();
        EXPECT_FALSE(menu.isVisible()) << "the menu still closes when asked";
    }
}

// Qt offers a click's release to the window and then, as a new event, to the widget under it (and
// its parents): the monitors see it once, where it happened.
TEST_F(QtBindings, LocalEventsSeeEachMouseReleaseOnce) {
    QtLocalEvents events(keyboard);
    std::vector<LocalEvent> seen;
    Subscription monitor = events.addMonitor(localEventBit(LocalEventType::leftMouseUp), [&](const LocalEvent& e) {
        seen.push_back(e);
        return std::optional<LocalEvent>(e);
    });
    QWidget window;
    window.resize(200, 100);
    auto* child = new QWidget(&window);
    child->setGeometry(50, 20, 100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(child, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseClick(child, Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_EQ(seen.size(), 2u) << "two clicks, each release once";
    const QPoint global = child->mapToGlobal(QPoint(10, 5));
    EXPECT_EQ(seen[0].location, (Point{double(global.x()), double(global.y())}));
}

TEST_F(QtBindings, MenuTrackingSpansTheFirstPopupToTheLastOne) {
    QtLocalEvents events(keyboard);
    std::vector<bool> tracking;
    Subscription notices = events.onMenuTracking([&](bool open) { tracking.push_back(open); });
    QMenu menu;
    menu.addAction("Show Zones");
    auto* submenu = new QMenu(&menu);
    submenu->addAction("Layout");
    menu.popup(QPoint(10, 10));
    EXPECT_TRUE(events.isMenuTracking());
    submenu->popup(QPoint(100, 10));
    submenu->hide();
    EXPECT_EQ(tracking, std::vector<bool>{true}) << "a submenu closing ends nothing";
    submenu->popup(QPoint(100, 10));
    menu.hide();
    EXPECT_TRUE(events.isMenuTracking());
    delete submenu;  // destroyed while open
    EXPECT_EQ(tracking, (std::vector<bool>{true, false}));
}

// A press while the menu shows but before it took the keyboard still reaches the combination's
// grab; given up earlier, the press went to the window that had the focus.
TEST_F(QtBindings, TheCombinationsAreGivenUpOnlyOnceTheMenuHoldsTheKeyboard) {
    QtLocalEvents events(keyboard);
    GlobalShortcuts module({defaults, hotKeys, keyboard, events, scheduler});
    module.onKeyDown(GlobalShortcuts::Name("showZones", kZ), [] {});
    ASSERT_FALSE(hotKeys.registered().empty());
    struct Menu : QMenu {
        std::function<void()> shown;
        void showEvent(QShowEvent* event) override { shown(), QMenu::showEvent(event); }
    } menu;
    menu.addAction("Restore All Windows");
    bool registeredAtShow = false;
    menu.shown = [&] { registeredAtShow = !hotKeys.registered().empty(); };
    menu.popup(QPoint(10, 10));
    EXPECT_TRUE(registeredAtShow) << "given up before the menu could take the keyboard";
    EXPECT_TRUE(hotKeys.registered().empty()) << "the menu holds the keyboard";
    menu.hide();
    EXPECT_FALSE(hotKeys.registered().empty());
}

TEST_F(QtBindings, APressWhileTheProgramsMenuIsOpenFiresOnceAndIsConsumed) {
    QtLocalEvents events(keyboard);
    GlobalShortcuts module({defaults, hotKeys, keyboard, events, scheduler});
    int fired = 0;
    const GlobalShortcuts::Name showZones("showZones", kZ);
    module.onKeyDown(showZones, [&] { ++fired; });
    struct Menu : QMenu {
        int keys = 0;
        void keyPressEvent(QKeyEvent* e) override { ++keys, QMenu::keyPressEvent(e); }
    } menu;
    menu.addAction("Restore All Windows");
    menu.popup(QPoint(10, 10));
    EXPECT_TRUE(hotKeys.registered().empty()) << "the menu holds the keyboard; the combination is given up";
    const auto controlAlt = Qt::ControlModifier | Qt::AltModifier;
    sendKey(&menu, QEvent::KeyPress, Key::z.rawValue, Qt::Key_Z, controlAlt);
    sendKey(&menu, QEvent::KeyPress, Key::z.rawValue, Qt::Key_Z, controlAlt, true);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(menu.keys, 1) << "only the repeat reached the menu";
    menu.hide();
    EXPECT_EQ(hotKeys.registered().size(), 1u);
}

TEST_F(QtBindings, ShortcutsBecomeQtKeySequences) {
    keyboard.setCharacters({{Key::backtick.rawValue, ""}});
    const struct {
        const char* name;
        Shortcut shortcut;
        std::optional<QKeySequence> sequence;
    } cases[] = {
        {"an arrow", {Key::rightArrow, kControlAlt}, QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_Right)},
        {"a letter", {Key::z, carbon::cmdKey | carbon::shiftKey}, QKeySequence(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_Z)},
        {"backspace", {Key::delete_, 0}, QKeySequence(Qt::Key_Backspace)},
        {"F13", {Key::f13, 0}, QKeySequence(Qt::Key_F13)},
        {"a keypad key", {Key::keypad5, 0}, std::nullopt},
        {"a dead key", {Key::backtick, kControlAlt}, std::nullopt},
        {"Fn", {Key::f5, carbon::functionKey}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keySequence(c.shortcut, keyboard), c.sequence);
    }
}

TEST_F(QtBindings, TheMenuSearchFindsTheFirstItemUsingAShortcutDepthFirst) {
    QMenu menu;
    QAction* quit = menu.addAction("Quit");
    quit->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_Q));
    QMenu* zones = menu.addMenu("Zones");
    QAction* next = zones->addAction("Next Zone");
    next->setShortcut(QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_Right));
    QAction* alsoNext = menu.addAction("Also Next");
    alsoNext->setShortcut(next->shortcut());
    QAction* shifted = menu.addAction("Shifted");
    shifted->setShortcut(QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_K));
    const struct {
        const char* name;
        Shortcut shortcut;
        QAction* item;
    } cases[] = {
        {"a top-level item", {Key::q, carbon::controlKey}, quit},
        {"a submenu's item before a later one", {Key::rightArrow, kControlAlt}, next},
        {"extra modifiers do not match", {Key::q, kControlAlt}, nullptr},
        {"Shift is a modifier like the others", {Key::k, carbon::controlKey | carbon::shiftKey}, shifted},
        {"without Shift", {Key::k, carbon::controlKey}, nullptr},
        {"no Qt form", {Key::keypad1, carbon::controlKey}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(menuItemWithMatchingShortcut(c.shortcut, &menu, keyboard), c.item);
    }
}

TEST_F(QtBindings, AnActionCarriesItsNamesShortcutExceptWhileARecorderRecords) {
    QAction action;
    const GlobalShortcuts::Name showZones("showZones", kZ);
    globalKeyboardShortcut(*shortcuts, &action, showZones);
    const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    EXPECT_EQ(action.shortcut(), QKeySequence(ctrlAlt | Qt::Key_Z));
    shortcuts->recorderActiveStatusDidChange.emit(true);
    EXPECT_TRUE(action.shortcut().isEmpty());
    shortcuts->recorderActiveStatusDidChange.emit(false);
    EXPECT_EQ(action.shortcut(), QKeySequence(ctrlAlt | Qt::Key_Z));
    shortcuts->setShortcut(Shortcut(Key::s, kControlAlt), showZones);
    EXPECT_EQ(action.shortcut(), QKeySequence(ctrlAlt | Qt::Key_S));
    action.setShortcut(QKeySequence(Qt::Key_F1));
    shortcuts->setShortcut(kZ, GlobalShortcuts::Name("other"));
    EXPECT_EQ(action.shortcut(), QKeySequence(Qt::Key_F1)) << "another name's change leaves it alone";
}

TEST_F(QtBindings, AWidgetHearsItsShortcutWhileShown) {
    const GlobalShortcuts::Name showZones("showZones", kZ);
    int downs = 0;
    auto* widget = new QWidget;
    onKeyboardShortcut(*shortcuts, widget, showZones, GlobalShortcuts::EventType::keyDown, [&] { ++downs; });
    EXPECT_TRUE(hotKeys.registered().empty()) << "hidden: no stream";
    widget->show();
    hotKeys.press(6, kControlAlt);
    hotKeys.release(6, kControlAlt);
    EXPECT_EQ(downs, 1);
    widget->hide();
    EXPECT_TRUE(hotKeys.registered().empty());
    widget->show();
    EXPECT_EQ(hotKeys.registered().size(), 1u);
    delete widget;
    EXPECT_TRUE(hotKeys.registered().empty());
}

}  // namespace
