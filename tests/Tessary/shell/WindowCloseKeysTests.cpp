// The keys that close the program's own windows: Ctrl+W and Escape close Settings and About, Ctrl+W
// the editor (whose Escape ends a preview); what is open inside a window takes its keys first, so
// nothing the user is in the middle of is lost.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

#include "GlobalShortcuts/ui/Recorder.h"
#include "GlobalShortcuts/ui/RecorderWidget.h"
#include "Platform/Qt/QtLocalEvents.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"
#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"
#include "tests/Tessary/settings/SettingsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

constexpr std::uint32_t kEscapeSymbol = 0xff1b, kWSymbol = 0x77;

class NoPreview final : public PreviewPresenting {
public:
    void showPreview(const std::vector<OverlayItem>&) override {}
    void hidePreview() override {}
};

class WindowCloseKeys : public ::testing::Test, protected SettingsWorld {
protected:
    WindowCloseKeys() {
        for (const GlobalShortcuts::Name& name : ShortcutNames::paneShortcutNames()) module.onKeyDown(name, [] {});
        SettingsHooks hooks;
        hooks.makeRecorder = [this](const std::string& name, QWidget* parent) -> QWidget* {
            return new Recorder(module, ShortcutNames::named(name), QString(), nullptr, parent);
        };
        settings = std::make_unique<SettingsWindow>(SettingsContext{state, preferences, actions, selection, nullptr,
                                                                    std::move(hooks), &defaults, {}, {}, nullptr,
                                                                    nullptr, nullptr, nullptr, nullptr});
    }

    // Shown, in front and holding the keyboard, as a window the user turns to is.
    static void bringUp(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // A key as X delivers it to the focused widget: Qt offers it to the window's shortcuts first,
    // and only when none takes it does the press (with the native codes the keyboard layer reads)
    // reach the widget. Returns whether a shortcut took it.
    static bool press(Qt::Key key, Qt::KeyboardModifiers modifiers, const Key& code, std::uint32_t keysym) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) focus = QApplication::activeWindow();
        if (qt_sendShortcutOverrideEvent(focus, 0, key, modifiers)) return true;
        const auto native = SimKeyboardLayout::nativeKeyCode(code.rawValue);
        QKeyEvent down(QEvent::KeyPress, key, modifiers, native, keysym, 0);
        QApplication::sendEvent(focus, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, native, keysym, 0);
        QApplication::sendEvent(focus, &up);
        return false;
    }
    static bool escape() { return press(Qt::Key_Escape, Qt::NoModifier, Key::escape, kEscapeSymbol); }
    static bool ctrlW() { return press(Qt::Key_W, Qt::ControlModifier, Key::w, kWSymbol); }

    RecorderWidget* recorder(const std::string& name) const {
        auto* row = settings->findChild<QWidget*>(QString::fromStdString("shortcut." + name));
        return row ? row->findChild<RecorderWidget*>() : nullptr;
    }

    QApplication& application = qttest::qtApplication();
    ShortcutsWorld sims;
    QtLocalEvents events{sims.keyboard};
    GlobalShortcuts module{{sims.defaults, sims.hotKeys, sims.keyboard, events, sims.scheduler}};
    std::unique_ptr<SettingsWindow> settings;
};

TEST_F(WindowCloseKeys, CtrlWClosesEachWindowAndEscapeSettingsAndAboutButNotTheEditor) {
    AboutWindowController about({[] {}, [] {}, [] {}}, {"Debian GNU/Linux 12", "", ""});
    EditorWorld world({gridLayout("Two", ZoneGrid::uniform(1, 2))});
    NoPreview overlay;
    LayoutEditorWindowController editor(*world.zones, overlay, world.scheduler);
    struct Row {
        const char* name;
        QWidget* window;
        std::function<bool()> key;
        bool closes;
    };
    const Row rows[] = {
        {"Settings, Ctrl+W", settings.get(), ctrlW, true},
        {"Settings, Escape", settings.get(), escape, true},
        {"About, Ctrl+W", about.window(), ctrlW, true},
        {"About, Escape", about.window(), escape, true},
        {"the editor, Ctrl+W", editor.window(), ctrlW, true},
        {"the editor, Escape", editor.window(), escape, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(bringUp(*row.window));
        EXPECT_EQ(row.key(), row.closes);
        EXPECT_EQ(row.window->isVisible(), !row.closes);
        row.window->hide();
    }
    EXPECT_EQ(settings->pane(), nullptr) << "closed as its close button closes it: the pane goes";
}

// Escape while a shortcut is recorded ends the recording, not the window; Ctrl+W is recorded like
// any other combination. Then the window's keys close it again.
TEST_F(WindowCloseKeys, ARecordingTakesEveryKeyAndEscapeEndsItNotTheWindow) {
    selection.select(SettingsSection::shortcuts);
    ASSERT_NO_FATAL_FAILURE(bringUp(*settings));
    RecorderWidget* field = recorder("snapToZone1");
    ASSERT_NE(field, nullptr);
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_TRUE(field->model().isRecording());
    EXPECT_FALSE(escape());
    EXPECT_FALSE(field->model().isRecording());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(module.getShortcut(ShortcutNames::snapToZone(0)), ShortcutNames::snapToZone(0).initialShortcut);

    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_TRUE(field->model().isRecording());
    EXPECT_FALSE(ctrlW());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(module.getShortcut(ShortcutNames::snapToZone(0)), Shortcut(Key::w, carbon::controlKey));

    field->clearFocus();
    EXPECT_TRUE(escape());
    EXPECT_FALSE(settings->isVisible());
}

// An alert open over the window (a sheet) takes the keys: Ctrl+W leaves both open, Escape answers
// the alert with Cancel, and the window with its settings stays.
TEST_F(WindowCloseKeys, AnAlertOverTheWindowTakesItsKeys) {
    selection.select(SettingsSection::snapping);
    preferences.setCenterUnresizableWindows(false);
    ASSERT_NO_FATAL_FAILURE(bringUp(*settings));
    settings->findChild<QPushButton*>("primaryAction")->click();
    auto* alert = settings->findChild<QMessageBox*>();
    ASSERT_NE(alert, nullptr);
    ASSERT_NO_FATAL_FAILURE(bringUp(*alert));
    EXPECT_FALSE(ctrlW());
    EXPECT_TRUE(alert->isVisible());
    EXPECT_TRUE(settings->isVisible());
    QTest::keyClick(alert, Qt::Key_Escape);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(preferences.centerUnresizableWindows()) << "Cancel resets nothing";
}

}  // namespace
