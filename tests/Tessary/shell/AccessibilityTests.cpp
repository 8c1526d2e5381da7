#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDialog>
#include <QPushButton>
#include <QTest>

#include <sstream>

#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "Tessary/integrations/UpdaterController.h"
#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/integrations/ui/FeedbackWindowController.h"
#include "Tessary/settings/SettingsSectionInfo.h"
#include "Tessary/shell/OnboardingModel.h"
#include "Tessary/shell/ui/OnboardingView.h"
#include "tests/Tessary/editor/EditorWorld.h"
#include "tests/Tessary/shell/FilledSettings.h"

using namespace tessary;

namespace {

// What a screen reader can act on: each of these needs a name to be read out.
bool interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Button:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::Slider:
        case QAccessible::SpinBox:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
        case QAccessible::Link:
        case QAccessible::PageTab:
        case QAccessible::ListItem:
        case QAccessible::Cell:
        case QAccessible::MenuItem:
            return true;
        default:
            return false;
    }
}

std::string describe(QAccessibleInterface* node) {
    std::ostringstream out;
    out << QAccessible::staticMetaObject.enumerator(QAccessible::staticMetaObject.indexOfEnumerator("Role"))
               .valueToKey(node->role());
    if (QObject* object = node->object()) {
        out << " " << object->metaObject()->className();
        if (!object->objectName().isEmpty()) out << " '" << object->objectName().toStdString() << "'";
    }
    const QString name = node->text(QAccessible::Name);
    if (!name.isEmpty()) out << " \"" << name.toStdString() << "\"";
    return out.str();
}

// Everything a screen reader reaches in a window, as it reads it: what is hidden is skipped with
// what it holds.
struct Reading {
    std::vector<std::string> nameless;
    // Texts read out with markup in them ("<qt>Remove Rule</qt>").
    std::vector<std::string> marked;
    std::vector<QAccessibleInterface*> reached;
};

void read(QAccessibleInterface* node, Reading& reading, int depth = 0) {
    if (!node || !node->isValid() || depth > 40) return;
    if (node->state().invisible) return;
    reading.reached.push_back(node);
    if (interactive(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
        reading.nameless.push_back(describe(node));
    }
    for (const auto kind : {QAccessible::Name, QAccessible::Description}) {
        const QString text = node->text(kind);
        if (text.contains(QLatin1String("<qt>")) || text.contains(QLatin1String("</"))) {
            reading.marked.push_back(describe(node) + ": " + text.toStdString());
        }
    }
    for (int i = 0; i < node->childCount(); ++i) read(node->child(i), reading, depth + 1);
}

Reading read(QWidget& window) {
    QCoreApplication::processEvents();
    Reading reading;
    read(QAccessible::queryAccessibleInterface(&window), reading);
    return reading;
}

void expectEveryControlNamed(QWidget& window, const std::string& what) {
    SCOPED_TRACE(what);
    const Reading reading = read(window);
    EXPECT_THAT(reading.nameless, ::testing::IsEmpty()) << "controls a screen reader cannot name";
    EXPECT_THAT(reading.marked, ::testing::IsEmpty()) << "markup read out";
}

QAccessibleInterface* reached(QWidget& window, const std::function<bool(QAccessibleInterface*)>& matches) {
    for (QAccessibleInterface* node : read(window).reached) {
        if (matches(node)) return node;
    }
    return nullptr;
}

using Panes = tessary::testing::FilledSettings;

}  // namespace

TEST_F(Panes, EveryControlOfEveryPaneHasANameAndNoMarkup) {
    SettingsWindow& w = open();
    for (int i = 0; i <= static_cast<int>(SettingsSection::about); ++i) {
        const auto section = static_cast<SettingsSection>(i);
        show(section);
        expectEveryControlNamed(w, std::string(settingsSectionTitle(section)));
    }
    // The empty lists, with their own bars.
    rules.modifyRuleSet([](RuleSet& set) { set = RuleSet(); });
    preferences.setExcludedBundleIDs({});
    workspaces.updateLibrary([](WorkspaceLibrary& library) { library = WorkspaceLibrary(); });
    for (const auto section : {SettingsSection::rules, SettingsSection::workspaces, SettingsSection::excludedApps}) {
        show(section);
        QTest::qWait(10);
        expectEveryControlNamed(w, "empty " + std::string(settingsSectionTitle(section)));
    }
}

// What a screen reader lists of the program: its windows on the screen, the settings window as a
// window (announced as one when it opens), a dialog as a dialog; a hidden window is not listed.
TEST_F(Panes, ReadersMeetTheSettingsWindowAsAWindowAndOnlyWindowsOnTheScreen) {
    QAccessibleInterface* program = QAccessible::queryAccessibleInterface(qApp);
    const auto listed = [program] {
        QCoreApplication::processEvents();
        std::vector<std::string> windows;
        for (int i = 0; i < program->childCount(); ++i) {
            QAccessibleInterface* window = program->child(i);
            EXPECT_EQ(program->indexOfChild(window), i);
            windows.push_back(describe(window));
        }
        return windows;
    };
    using ::testing::Contains;
    using ::testing::Not;
    SettingsWindow& w = open();
    EXPECT_THAT(listed(), Contains("Window tessary::SettingsWindow 'SettingsWindow' \"Settings\""));

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("A dialog"));
    dialog.show();
    QWidget gone(nullptr, Qt::Window);
    gone.setWindowTitle(QStringLiteral("Gone"));
    gone.show();
    gone.hide();
    EXPECT_THAT(listed(), Contains("Dialog QDialog \"A dialog\""));
    EXPECT_THAT(listed(), Not(Contains("Window QWidget \"Gone\"")));

    w.close();
    EXPECT_THAT(listed(), Not(Contains("Window tessary::SettingsWindow 'SettingsWindow' \"Settings\"")));
}

// The rule's zone picker is a group of zone buttons, each selected while picked, not a picture.
TEST_F(Panes, TheZonePickerIsAGroupOfZoneButtons) {
    SettingsWindow& w = open();
    show(SettingsSection::rules);
    QTest::qWait(10);
    QAccessibleInterface* picker = reached(w, [](QAccessibleInterface* node) {
        return node->text(QAccessible::Name) == "Zones" && node->role() == QAccessible::Grouping;
    });
    ASSERT_NE(picker, nullptr) << "the zone picker is no group named Zones";
    std::vector<std::string> zones;
    for (int i = 0; i < picker->childCount(); ++i) {
        QAccessibleInterface* zone = picker->child(i);
        EXPECT_EQ(zone->role(), QAccessible::Button);
        zones.push_back(zone->text(QAccessible::Name).toStdString() + (zone->state().selected ? " selected" : ""));
    }
    EXPECT_THAT(zones, ::testing::ElementsAre("Zone 1 selected", "Zone 2")) << "the rule places its windows in zone 1";
}

// An update framework busy with a check of its own: it takes no second one now.
class BusyUpdates final : public UpdateBackend {
    struct Busy final : UpdaterBackendController {
        void checkForUpdates() override {}
        bool automaticallyChecksForUpdates() const override { return true; }
        void setAutomaticallyChecksForUpdates(bool) override {}
        bool canCheckForUpdates() const override { return false; }
    };

public:
    std::unique_ptr<UpdaterBackendController> makeController(UpdateUserDriverDelegate&) override {
        return std::make_unique<Busy>();
    }
};

// A build without a web site cannot open its review page or the site, and an updater in the middle
// of a check takes no other: Settings > About says why in the same place as the About window does,
// for the eye (tool tip) and the ear (description).
TEST_F(Panes, TheDisabledButtonsOfAboutAndGeneralSayWhy) {
    BusyUpdates busy;
    json::Json info = json::Json::object();
    info["SUFeedURL"] = "https://updates.example/feed.xml";
    info["SUPublicEDKey"] = "key";
    UpdaterController updates(info, &busy);
    updater = &updates;
    SettingsWindow& w = open();
    struct Button {
        SettingsSection section;
        const char* name;
        const char* why;
    };
    const Button buttons[] = {{SettingsSection::about, "writeReview", "no web site"},
                              {SettingsSection::about, "website", "no web site"},
                              {SettingsSection::about, "checkForUpdates", "already under way"},
                              {SettingsSection::general, "checkForUpdates", "already under way"}};
    for (const Button& expected : buttons) {
        SCOPED_TRACE(std::string(settingsSectionTitle(expected.section)) + " " + expected.name);
        show(expected.section);
        QCoreApplication::processEvents();
        auto* button = w.pane()->findChild<QPushButton*>(QString::fromLatin1(expected.name));
        ASSERT_NE(button, nullptr);
        ASSERT_FALSE(button->isEnabled());
        EXPECT_THAT(button->toolTip().toStdString(), ::testing::HasSubstr(expected.why));
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(button);
        EXPECT_TRUE(spoken->state().disabled);
        EXPECT_EQ(spoken->text(QAccessible::Description), button->toolTip());
    }
    // Before the updater it watches goes.
    window.reset();
}

TEST(Accessibility, TheEditorAboutFeedbackAndOnboardingNameEveryControl) {
    using namespace tessary::testing;
    qttest::qtApplication();
    EditorWorld world({gridLayout("Halves", ZoneGrid::uniform(1, 2), ZoneLayout::Origin{LayoutTemplate::columns, 2, std::nullopt}, 8),
                       canvasLayout("Free", {1920, 1080}, {Rect(0, 0, 1100, 1080), Rect(820, 0, 1100, 700)})});
    world.select(0);
    LayoutEditorView editor(*world.model);
    editor.resize(1120, 700);
    editor.show();
    expectEveryControlNamed(editor, "the editor, a grid");
    world.select(1);
    expectEveryControlNamed(editor, "the editor, a canvas");
    editor.newLayoutSheet()->present();
    expectEveryControlNamed(*editor.newLayoutSheet(), "the new-layout sheet");
    editor.newLayoutSheet()->reject();

    AboutWindowController about({[] {}, [] {}, [] {}}, {"Debian GNU/Linux 12 (6.1.0-18-amd64)", "", ""});
    about.show();
    expectEveryControlNamed(*about.window(), "About");

    VirtualScheduler scheduler;
    const auto feedback = FeedbackWindowController::make(scheduler);
    feedback->show();
    expectEveryControlNamed(*feedback->window(), "feedback");

    OnboardingView onboarding(OnboardingView::Actions{[] {}, {}, {}, {}, {}});
    onboarding.setModel(OnboardingModel{false, false, ""});
    onboarding.show();
    expectEveryControlNamed(onboarding, "onboarding");
}
