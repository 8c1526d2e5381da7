#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include "GlobalShortcuts/ui/Recorder.h"
#include "Platform/Qt/QtLocalEvents.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/settings/ShortcutsPaneModel.h"
#include "Tessary/settings/ui/ShortcutsSettingsView.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/settings/SettingsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

constexpr std::uint32_t kTabSymbol = 0xff09, kLeftTabSymbol = 0xfe20;

// The Shortcuts pane as the program builds it: the module's recorders over in-memory back ends and
// the program's own event filter, each of the eighteen names with a handler as the keyboard layer
// gives them.
class ShortcutsPaneTest : public ::testing::Test, protected SettingsWorld {
protected:
    void build() {
        for (const GlobalShortcuts::Name& name : ShortcutNames::paneShortcutNames()) module.onKeyDown(name, [] {});
        SettingsHooks hooks;
        hooks.makeRecorder = [this](const std::string& name, QWidget* parent) -> QWidget* {
            return new Recorder(module, ShortcutNames::named(name), QString(), nullptr, parent);
        };
        context = std::make_unique<SettingsContext>(SettingsContext{
            state, preferences, actions, selection, nullptr, std::move(hooks), &defaults, {}, {}, nullptr, nullptr,
            nullptr, nullptr, nullptr});
        pane = std::make_unique<ShortcutsSettingsView>(*context);
        pane->resize(620, 1200);
        pane->show();
        pane->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
    }
    RecorderWidget* field(const std::string& name) const {
        auto* row = pane->findChild<QWidget*>(QString::fromStdString("shortcut." + name));
        return row ? row->findChild<RecorderWidget*>() : nullptr;
    }
    // The name of the recorder that has the focus, or "none".
    std::string focused() const {
        for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
            if (widget->objectName().startsWith(QLatin1String("shortcut."))) return widget->objectName().mid(9).toStdString();
        }
        return "none";
    }
    // Tab (or Shift+Tab) as X11 delivers it, to whatever has the focus.
    void tab(bool back = false) {
        QKeyEvent event(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier,
                        SimKeyboardLayout::nativeKeyCode(Key::tab.rawValue), back ? kLeftTabSymbol : kTabSymbol, 0);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }
    QApplication& application = qttest::qtApplication();
    ShortcutsWorld sims;
    QtLocalEvents events{sims.keyboard};
    GlobalShortcuts module{{sims.defaults, sims.hotKeys, sims.keyboard, events, sims.scheduler}};
    std::unique_ptr<SettingsContext> context;
    std::unique_ptr<ShortcutsSettingsView> pane;
};

TEST_F(ShortcutsPaneTest, TabAndShiftTabWalkTheRecordersInReadingOrder) {
    build();
    QTest::mouseClick(field("snapToZone1"), Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_TRUE(field("snapToZone1")->model().isRecording());
    std::vector<std::string> walked{focused()};
    for (std::size_t i = 1; i < paneShortcutNames().size(); ++i) {
        tab();
        walked.push_back(focused());
        EXPECT_TRUE(field(walked.back()) && field(walked.back())->model().isRecording()) << walked.back();
    }
    std::vector<std::string> shown;
    for (const ShortcutSection& section : shortcutSections()) {
        for (const ShortcutRow& row : section.rows) shown.push_back(row.name);
    }
    EXPECT_EQ(walked, shown) << "the zones row by row, then each section's rows in turn";
    EXPECT_TRUE(module.isPaused());

    tab(true);
    EXPECT_EQ(focused(), "restoreAllWindows");
    EXPECT_FALSE(field("openEditor")->model().isRecording()) << "only one recorder records";
    EXPECT_TRUE(field("restoreAllWindows")->model().isRecording());
    EXPECT_EQ(module.getShortcut(ShortcutNames::openEditor()), Shortcut(Key::backtick, kControlAlt))
        << "moving on records nothing";
}

// A shortcut another program holds is said to be dead under its row (title and field), in the
// pane's own order, and nowhere else.
TEST_F(ShortcutsPaneTest, TheLineUnderAHeldShortcutsRowSaysWhy) {
    sims.hotKeys.takenByOthers = {{Key::leftArrow.rawValue, kControlAlt}, {Key::rightArrow.rawValue, kControlAlt}};
    build();
    std::vector<std::string> said;
    for (const QLabel* line : pane->findChildren<QLabel*>(QStringLiteral("problem"))) {
        if (!line->isVisible()) continue;
        std::string row = "another row";
        for (const std::string& name : {std::string("nextZone"), std::string("previousZone")}) {
            if (line->parentWidget()->isAncestorOf(field(name))) row = name;
        }
        said.push_back(row + ": " + line->text().toStdString());
    }
    const std::string held = "Held by another program, such as the window manager. Record another combination.";
    EXPECT_EQ(said, (std::vector<std::string>{"nextZone: " + held, "previousZone: " + held}));
}

}  // namespace
