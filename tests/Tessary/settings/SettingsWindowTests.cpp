#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QMenu>
#include <QToolButton>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <functional>
#include <map>

#include "Platform/Sim/InMemorySyncStore.h"
#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/settings/ui/SyncSettingsView.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/TessaryCore/TestSupport.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ShortcutsPaneModel.h"
#include "Tessary/settings/ZonesPaneModel.h"
#include "Tessary/settings/ui/AboutSettingsView.h"
#include "Tessary/settings/ui/ReleaseNoteView.h"
#include "Tessary/settings/AboutPaneModel.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"
#include "Tessary/settings/ui/RuleDetailView.h"
#include "Tessary/settings/ui/RulesSettingsView.h"
#include "Tessary/settings/ui/WorkspaceDetailView.h"
#include "Tessary/settings/ui/WorkspacesSettingsView.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/RowListView.h"
#include "Tessary/settings/ui/AdaptiveButtonRow.h"
#include "Tessary/settings/ui/OverlayPreview.h"
#include "Tessary/settings/ui/PercentSlider.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/settings/ui/ShortcutsSettingsView.h"
#include "Tessary/settings/ui/ZonesSettingsView.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/settings/SettingsWorld.h"

using namespace tessary;
using tessary::testing::SyncedServices;

namespace {

// The services a settings window works on, over the Sim back ends, and the window itself.
class SettingsWindowTest : public ::testing::Test, protected tessary::testing::SettingsWorld {
protected:
    SettingsWindowTest() {
        qttest::qtApplication();
        AccessibilityPermission::setAccessibility(&accessibility);
    }
    ~SettingsWindowTest() override {
        window.reset();
        AccessibilityPermission::setAccessibility(nullptr);
    }

    SettingsContext context(SettingsHooks hooks = {}) {
        return SettingsContext{state,     preferences, actions, selection, nullptr, std::move(hooks), &defaults,
                               [this] { return sync; }, syncFolderInUse, &launcher, &applications,
                               rules, zones, workspaces};
    }

    SettingsWindow& open() {
        if (!window) {
            SettingsHooks hooks;
            hooks.resetShortcuts = [this](const std::vector<std::string>& names) { resets.push_back(names); };
            hooks.openLink = [this](const std::string& url) { links.push_back(url); };
            window = std::make_unique<SettingsWindow>(context(std::move(hooks)));
        }
        window->show();
        return *window;
    }

    void click(SettingsSection section) {
        QListWidget* sidebar = window->sidebar();
        QListWidgetItem* item = sidebar->item(static_cast<int>(section));
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, sidebar->visualItemRect(item).center());
    }

    QStringList sidebarTitles() const {
        QStringList titles;
        for (int i = 0; i < window->sidebar()->count(); ++i) titles << window->sidebar()->item(i)->text();
        return titles;
    }

    // The open confirmation, if any.
    QMessageBox* alert() const { return window->findChild<QMessageBox*>(); }

    // Presses the pane's primary action, then the alert's button with this text.
    void answerPrimaryAction(const QString& button) {
        window->findChild<QPushButton*>("primaryAction")->click();
        answerAlert(button);
    }
    void answerAlert(const QString& button) {
        QMessageBox* box = alert();
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button) candidate->click();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The Sync pane, at the window's own size, over these services with sync on and started in a
    // folder in use: what a pull found in their store shows.
    SettingsWindow& openSyncPane(SyncedServices& services) {
        preferences.setICloudSyncEnabled(true);
        services.sync.start();
        sync = &services.sync;
        SyncFolderSetting::write(defaults, std::filesystem::path("/home/ann/Sync"));
        syncFolderInUse = std::filesystem::path("/home/ann/Sync");
        SettingsWindow& w = open();
        w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
        click(SettingsSection::sync);
        QCoreApplication::processEvents();
        return w;
    }

    std::vector<std::vector<std::string>> resets;
    std::vector<std::string> links;
    CloudSync* sync = nullptr;
    std::optional<std::filesystem::path> syncFolderInUse;
    RuleService* rules = nullptr;
    ZoneService* zones = nullptr;
    WorkspaceService* workspaces = nullptr;
    std::unique_ptr<SettingsWindow> window;
};

TEST_F(SettingsWindowTest, ShowsNineSectionsAndAClickSwapsPaneAndTitle) {
    SettingsWindow& w = open();
    EXPECT_EQ(w.windowTitle(), "Settings");
    EXPECT_EQ(w.size(), QSize(860, 580).boundedTo(w.screen()->availableGeometry().size()))
        << "860 x 580, within the work area";
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizable";
    EXPECT_EQ(sidebarTitles(), (QStringList{"General", "Snapping", "Zones", "Shortcuts", "Rules", "Workspaces",
                                            "Excluded Apps", "Sync", "About"}));
    EXPECT_EQ(w.paneTitle(), "General");
    const QPointer<SettingsPane> general = w.pane();

    click(SettingsSection::snapping);
    EXPECT_EQ(w.paneTitle(), "Snapping");
    EXPECT_TRUE(general.isNull()) << "the pane left is discarded";
    EXPECT_NE(w.pane()->findChild<QComboBox*>("activationModifier"), nullptr);
    EXPECT_TRUE(w.findChild<QPushButton*>("primaryAction")->isVisible());
    EXPECT_GE(w.pane()->width(), SettingsWindow::paneMinimumWidth);

    w.close();
    EXPECT_EQ(w.pane(), nullptr) << "a closed window holds no pane";
    open();
    EXPECT_EQ(w.paneTitle(), "Snapping") << "a plain opening shows the pane last shown";
}

TEST_F(SettingsWindowTest, ARequestActsOnceWhileOpenAndAgainWhenRepeated) {
    SettingsWindow& w = open();
    state.setRequestedSettingsSection(SettingsSection::about);
    EXPECT_EQ(w.paneTitle(), "About");
    click(SettingsSection::zones);
    EXPECT_EQ(w.paneTitle(), "Zones");
    state.setRequestedSettingsSection(SettingsSection::about);
    EXPECT_EQ(w.paneTitle(), "About") << "an equal request is a new request";
    click(SettingsSection::zones);
    w.close();
    open();
    EXPECT_EQ(w.paneTitle(), "Zones") << "a used request is not applied again";
}

TEST_F(SettingsWindowTest, FooterAndPermissionTagFollowWindowControl) {
    SettingsWindow& w = open();
    for (bool trusted : {false, true}) {
        accessibility.trusted = trusted;
        state.refreshAccessibility();
        EXPECT_EQ(w.footerText(), trusted ? "Window control granted" : "Window control not granted");
        EXPECT_EQ(w.findChild<QWidget*>("windowControlDot")->property("trusted").toBool(), trusted);
        auto* tag = w.pane()->findChild<StatusTag*>("windowControlTag");
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(tag->text(), trusted ? "Granted" : "Not granted");
        EXPECT_EQ(tag->tone(), trusted ? StatusTag::Tone::positive : StatusTag::Tone::warning);
    }
    EXPECT_EQ(w.pane()->findChild<StatusTag*>("updatesTag")->text(), "Not configured");
}

TEST_F(SettingsWindowTest, ARefusedLaunchAtLoginChangeLeavesTheToggleOnTheRealState) {
    SettingsWindow& w = open();
    auto* toggle = w.pane()->findChild<QCheckBox*>("launchAtLogin");
    toggle->click();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(loginItems.isEnabled());
    loginItems.refusal = LoginItemError{"read-only"};
    toggle->click();
    EXPECT_TRUE(toggle->isChecked()) << "the refusal puts the toggle back";
    EXPECT_TRUE(state.launchAtLogin());
}

TEST_F(SettingsWindowTest, ResetsActOnlyOnTheirFirstButton) {
    struct Row {
        const char* name;
        SettingsSection section;
        std::function<void(Preferences&)> change;
        std::function<bool(const Preferences&)> isDefault;
        std::size_t resets;
    };
    const Row rows[] = {
        {"zones", SettingsSection::zones, [](Preferences& p) { p.setZoneOpacity(0.9); },
         [](const Preferences& p) { return p.zoneOpacity() == 0.5; }, 0},
        {"snapping", SettingsSection::snapping, [](Preferences& p) { p.setSpanModifier(SpanModifier::none); },
         [](const Preferences& p) { return p.spanModifier() == SpanModifier::control; }, 0},
        {"shortcuts", SettingsSection::shortcuts, [](Preferences&) {}, [](const Preferences&) { return true; }, 1},
    };
    SettingsWindow& w = open();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resets.clear();
        click(row.section);
        row.change(preferences);
        answerPrimaryAction("Cancel");
        EXPECT_EQ(alert(), nullptr);
        EXPECT_TRUE(resets.empty());
        if (row.resets == 0) {
            EXPECT_FALSE(row.isDefault(preferences)) << "Cancel changes nothing";
        }

        window->findChild<QPushButton*>("primaryAction")->click();
        EXPECT_EQ(alert()->windowModality(), Qt::WindowModal);
        EXPECT_EQ(alert()->parentWidget(), &w);
        EXPECT_EQ(alert()->buttons().size(), 2);
        EXPECT_EQ(alert()->defaultButton()->text(), "Reset");
        EXPECT_EQ(alert()->buttonRole(alert()->defaultButton()), QMessageBox::DestructiveRole);
        answerAlert("Reset");
        EXPECT_TRUE(row.isDefault(preferences));
        EXPECT_EQ(resets.size(), row.resets);
        if (row.resets) {
            EXPECT_EQ(resets.front(), paneShortcutNames());
        }
    }
}

TEST_F(SettingsWindowTest, AConfirmationAnsweredAfterItsWindowIsGoneDoesNothing) {
    open();
    click(SettingsSection::shortcuts);
    window->findChild<QPushButton*>("primaryAction")->click();
    const QPointer<QMessageBox> box = alert();
    window.reset();
    EXPECT_TRUE(box.isNull()) << "the alert goes with its window";
    EXPECT_TRUE(resets.empty());
}

TEST_F(SettingsWindowTest, EveryLabelShowsItsTextAsPlainText) {
    SettingsWindow& w = open();
    for (SettingsSection section : allSettingsSections) {
        click(section);
        for (const QLabel* label : w.findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisibleTo(&w)) continue;
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        }
    }
}

TEST_F(SettingsWindowTest, TheZoneGridAndTheAboutButtonsFollowTheWidth) {
    SettingsContext context = this->context();
    ShortcutsSettingsView shortcuts(context);
    AboutSettingsView about(context);
    struct Row {
        int width;
        bool aboutColumn;
    };
    for (const Row& row : {Row{900, false}, Row{300, true}, Row{700, false}}) {
        SCOPED_TRACE(row.width);
        shortcuts.resize(row.width, 900);
        shortcuts.show();
        QCoreApplication::processEvents();
        const int gridWidth = shortcuts.findChild<QWidget*>("zoneGrid")->width();
        EXPECT_EQ(shortcuts.zoneGridColumnCount(), std::max(1, (gridWidth + 12) / 212));
        about.resize(row.width, 900);
        about.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(about.buttons()->isColumn(), row.aboutColumn);
    }
}

TEST_F(SettingsWindowTest, AReleaseNoteIsOneSelectableTextShownWholeAtEveryWidth) {
    const Date march4 = *Date::parsingISO8601("2025-03-04T00:00:00Z");
    const std::string long_ = "Windows that cannot take a zone's size are centred in the zone instead, and stay there "
                              "until they are dragged out again with the modifier held.";
    ReleaseNote note{"1.2", march4, {{"Snapping", {"Drop <b>here</b> & there", long_}}, {"", {"No title above"}}}};
    QWidget column;  // declared first: the view leaves it before it goes
    ReleaseNoteView view(note);
    // Every text as it stands: markup in a note is shown, not read.
    EXPECT_EQ(view.toPlainText().toStdString(), releaseNoteHeading("1.2") + "\n" + releaseNoteDate(march4) +
                                                    "\nSnapping\n\u2022\tDrop <b>here</b> & there\n\u2022\t" + long_ +
                                                    "\n\u2022\tNo title above");
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_TRUE(view.textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(view.textInteractionFlags() & Qt::TextSelectableByKeyboard);
    EXPECT_EQ(view.accessibleName().toStdString(), releaseNoteHeading("1.2"));

    // In a pane's column it is as tall as its text at the column's width: nothing scrolls inside it
    // and nothing is cut, wrapped onto more lines when narrower.
    auto* layout = new QVBoxLayout(&column);
    layout->addWidget(&view);
    layout->addStretch(1);
    std::map<int, int> heights;
    for (const int width : {700, 260, 700}) {
        SCOPED_TRACE(width);
        column.resize(width, 1200);
        column.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
        EXPECT_GE(view.height(), int(view.document()->size().height()));
        if (heights.contains(width)) {
            EXPECT_EQ(view.height(), heights[width]) << "the same width, the same height";
        }
        heights[width] = view.height();
    }
    EXPECT_GT(heights[260], heights[700]);

    // A change of appearance writes the text again in the new palette's secondary colour.
    QPalette changed = view.palette();
    changed.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa8));
    view.setPalette(changed);
    const QTextBlock date = view.document()->findBlockByNumber(1);
    EXPECT_EQ(date.text().toStdString(), releaseNoteDate(march4));
    EXPECT_EQ(date.begin().fragment().charFormat().foreground().color(), QColor(0xa0, 0xa0, 0xa8));
}

TEST_F(SettingsWindowTest, ThePreviewHighlightsTheSecondOfThreeZonesAtEverySize) {
    SettingsContext context = this->context();
    ZonesSettingsView zones(context);
    zones.resize(600, 700);
    zones.show();
    QCoreApplication::processEvents();
    const OverlayModel& model = zones.preview()->model();
    EXPECT_EQ(model.zones().size(), 3u);
    EXPECT_EQ(model.highlighted(), std::vector<std::int64_t>{1});
    zones.resize(900, 700);
    QCoreApplication::processEvents();
    EXPECT_NEAR(model.zones().back().rect.maxX(), zones.preview()->width() - 8, 1e-6);
}

TEST_F(SettingsWindowTest, TheSyncSwitchPullsAndOnlyASucceededSyncReadsUpToDate) {
    SyncedServices services(scheduler, preferences);
    services.sync.start();
    sync = &services.sync;
    SyncFolderSetting::write(defaults, std::filesystem::path("/home/ann/Sync"));
    syncFolderInUse = std::filesystem::path("/home/ann/Sync");
    SettingsWindow& w = open();
    click(SettingsSection::sync);
    auto* status = w.pane()->findChild<StatusTag*>("syncStatus");
    EXPECT_FALSE(status->isVisibleTo(&w)) << "nothing has synced yet";
    EXPECT_FALSE(w.pane()->findChild<QPushButton*>("syncNow")->isEnabled());
    EXPECT_EQ(w.pane()->findChild<QLabel*>("syncFolder")->text(), "/home/ann/Sync");

    w.pane()->findChild<QCheckBox*>("syncEnabled")->click();
    EXPECT_TRUE(preferences.iCloudSyncEnabled());
    EXPECT_TRUE(services.store.values.count(std::string(CloudSync::layoutsKey))) << "turning it on pulls, then pushes";
    EXPECT_TRUE(status->isVisibleTo(&w));
    EXPECT_EQ(status->text(), "Up to date");
    EXPECT_TRUE(w.pane()->findChild<QPushButton*>("syncNow")->isEnabled());

    static_cast<SyncSettingsView*>(w.pane())->chooseFolder("/proc/not-here");
    EXPECT_THAT(w.pane()->findChild<QLabel*>("syncFolderNote")->text().toStdString(),
                ::testing::HasSubstr("previous choice is kept"));
    EXPECT_EQ(SyncFolderSetting::read(defaults), std::filesystem::path("/home/ann/Sync"));
    w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
    QCoreApplication::processEvents();
    qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-sync"));
    window.reset();
}

TEST_F(SettingsWindowTest, LongRuleSummariesAreCutWithinTheList) {
    SyncedServices services(scheduler, preferences);
    rules = &services.rules;
    zones = &services.zones;
    launcher.install("XTerm", "Terminal");
    const PlacementRule rule(UUID::random(), true, "XTerm", std::string("^(Inbox|Drafts) \u2014 <b>Mail</b> for work$"),
                             std::string("SOMEWHERE-ELSE"), {0, 1, 2}, Date(1000));
    services.rules.modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    SettingsWindow& w = open();
    w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
    click(SettingsSection::rules);
    QCoreApplication::processEvents();
    auto* pane = static_cast<RulesSettingsView*>(w.pane());
    RowListView* list = pane->list();
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << "nothing runs past the list";
    const ShownRow row = list->shownRow(0);
    EXPECT_TRUE(row.subtitle.startsWith("zone 1+2+3 \u00B7 title ~ ")) << row.subtitle.toStdString();
    EXPECT_TRUE(row.subtitle.endsWith(QChar(0x2026))) << row.subtitle.toStdString();
    EXPECT_TRUE(list->viewport()->rect().contains(row.subtitleRect)) << "the summary is cut within the list";
    // The whole summary is its tool tip, the pattern's markup shown as typed.
    const QString whole = list->rows()->rowAt(0).subtitle;
    ASSERT_TRUE(whole.contains("<b>Mail</b>")) << whole.toStdString();
    QHelpEvent help(QEvent::ToolTip, row.subtitleRect.center(), list->viewport()->mapToGlobal(row.subtitleRect.center()));
    QCoreApplication::sendEvent(list->viewport(), &help);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), plainToolTip(whole));
    EXPECT_NE(QToolTip::text(), whole) << "a tool tip Qt would read as markup";
    QToolTip::hideText();
    window.reset();
}

TEST_F(SettingsWindowTest, AChosenFolderIsUsedFromTheNextStartAndSaysSo) {
    // No folder in use: the running sync is unavailable until the program starts again.
    SyncedServices services(scheduler, preferences);
    CloudSync unavailable(services.store, services.zones, services.rules, services.workspaces,
                          [this] { return preferences.iCloudSyncEnabled(); },
                          CloudSync::Availability::missingEntitlement, scheduler);
    sync = &unavailable;
    SettingsWindow& w = open();
    click(SettingsSection::sync);
    auto* toggle = w.pane()->findChild<QCheckBox*>("syncEnabled");
    auto* note = w.pane()->findChild<QLabel*>("syncFolderNote");
    EXPECT_FALSE(toggle->isEnabled()) << "no folder yet";

    TemporaryFolder chosen;
    static_cast<SyncSettingsView*>(w.pane())->chooseFolder(QString::fromStdString(chosen.path().string()));
    EXPECT_EQ(SyncFolderSetting::read(defaults), chosen.path());
    EXPECT_EQ(w.pane()->findChild<QLabel*>("syncFolder")->text().toStdString(), chosen.path().string());
    EXPECT_TRUE(toggle->isEnabled()) << "the switch decides whether the next start syncs";
    EXPECT_THAT(note->text().toStdString(), ::testing::HasSubstr("Turn on sync"));
    EXPECT_THAT(note->text().toStdString(), ::testing::HasSubstr("next start"));
    for (QLabel* label : w.pane()->findChildren<QLabel*>()) {
        if (label->isVisibleTo(&w)) {
            EXPECT_NE(label->text(), "No usable sync folder") << "the folder is chosen";
        }
    }
    toggle->click();
    EXPECT_TRUE(preferences.iCloudSyncEnabled());
    EXPECT_THAT(note->text().toStdString(), ::testing::HasSubstr("quit Tessary and start it again"));
    EXPECT_TRUE(services.store.writes.empty()) << "nothing syncs before the next start";
    window.reset();
}

TEST_F(SettingsWindowTest, ABrokenDocumentIsNamedInASentenceShownInFull) {
    SyncedServices services(scheduler, preferences);
    // A newer version's file that this one cannot decode: it stays, and the pane names it.
    services.store.values["rules.v1"] = "{\"version\": 9, \"rules\": \"elsewhere\"}";
    SettingsWindow& w = openSyncPane(services);

    ASSERT_TRUE(services.sync.lastError().has_value());
    const QString sentence = QString::fromStdString(*services.sync.lastError());
    EXPECT_EQ(sentence.toStdString(),
              "Could not read sync folder data: \u201Crules.v1\u201D in the sync folder is damaged or was written by a "
              "newer version of Tessary. It is left as it is and synchronised again once it can be read.");
    auto* error = w.pane()->findChild<QLabel*>("syncError");
    ASSERT_TRUE(error->isVisibleTo(&w));
    EXPECT_EQ(error->text(), sentence);
    EXPECT_TRUE(error->wordWrap());
    EXPECT_LE(error->heightForWidth(error->width()), error->height()) << "every line of it shows";
    EXPECT_EQ(w.pane()->findChild<StatusTag*>("syncStatus")->text(), "Not synced");
    const QLabel* last = w.pane()->findChild<QLabel*>("lastSync");
    EXPECT_LT(last->height(), 2 * last->fontMetrics().lineSpacing()) << "\"Last sync\" keeps to one line";
    qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-sync-broken-document"));
    window.reset();
}

// Two documents that cannot be read and stay: the pane names both, and the chips of those two
// kinds say they do not sync while the third's says it does.
TEST_F(SettingsWindowTest, EveryBrokenDocumentIsNamedAndItsKindsChipSaysSo) {
    SyncedServices services(scheduler, preferences);
    services.store.values["layouts.v1"] = "{\"version\": 9, \"layouts\": 1}";
    services.store.values["workspaces.v1"] = "{\"version\": 9, \"workspaces\": 1}";
    SettingsWindow& w = openSyncPane(services);

    auto* error = w.pane()->findChild<QLabel*>("syncError");
    ASSERT_TRUE(error->isVisibleTo(&w));
    for (const char* name : {"\u201Clayouts.v1\u201D", "\u201Cworkspaces.v1\u201D"}) {
        EXPECT_TRUE(error->text().contains(QString::fromUtf8(name))) << name << " unnamed in: " << error->text().toStdString();
    }
    EXPECT_LE(error->heightForWidth(error->width()), error->height()) << "every line of it shows";
    const auto chip = [&](const char* key) {
        auto* tag = w.pane()->findChild<StatusTag*>(QStringLiteral("synced.") + QString::fromLatin1(key));
        return tag ? tag->text().toStdString() + (tag->tone() == StatusTag::Tone::positive ? " positive" : "") : "none";
    };
    EXPECT_EQ(chip("layouts.v1"), "Not synced");
    EXPECT_EQ(chip("rules.v1"), "Synced positive");
    EXPECT_EQ(chip("workspaces.v1"), "Not synced");
    qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-sync-two-broken-documents"));
    window.reset();
}

TEST_F(SettingsWindowTest, OpacitySlidersStepInWholePercentsAndStoreOnlyChanges) {
    SettingsWindow& w = open();
    click(SettingsSection::zones);
    auto* opacity = w.pane()->findChild<PercentSlider*>("zoneOpacity");
    ASSERT_NE(opacity, nullptr);
    QSlider* slider = opacity->slider();
    slider->setFocus();
    const auto writes = [this] { return defaults.writeCount("preferences.v1"); };
    const std::size_t before = writes();
    struct Step {
        std::function<void()> input;
        double stored;
        std::size_t newWrites;
        const char* shown;
    };
    const Step steps[] = {
        {[&] { QTest::keyClick(slider, Qt::Key_Right); }, 0.51, 1, "51%"},
        {[&] { QTest::keyClick(slider, Qt::Key_PageUp); }, 0.61, 1, "61%"},
        {[&] { QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(3, slider->height() / 2)); }, 0.60, 1, "60%"},
        {[&] {
             const QPointF at = QRectF(slider->rect()).center();
             QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                               Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(slider, &wheel);
         }, 0.59, 1, "59%"},
        {[&] { QTest::keyClick(slider, Qt::Key_PageDown); }, 0.49, 1, "49%"},
        {[&] { QTest::keyClick(slider, Qt::Key_Home); QTest::keyClick(slider, Qt::Key_Left); }, 0.0, 1, "0%"},
    };
    std::size_t expected = before;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.shown);
        step.input();
        expected += step.newWrites;
        EXPECT_DOUBLE_EQ(preferences.zoneOpacity(), step.stored);
        EXPECT_EQ(writes(), expected);
        EXPECT_EQ(opacity->valueLabel()->text(), step.shown);
    }
}

QStringList actionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) texts << action->text();
    return texts;
}

QAction* actionNamed(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

TEST_F(SettingsWindowTest, ExcludedAppsAreAddedOnceAndRemovedOnlyAfterAskingWhileSelected) {
    launcher.install("XTerm", "Terminal & Console");
    launcher.install("firefox", "Firefox");
    launcher.install("gimp", "GIMP");
    applications.addApplication({10, "XTerm", "xterm", ActivationPolicy::regular, false});
    applications.addApplication({11, "XTerm", "xterm", ActivationPolicy::regular, false});
    applications.addApplication({12, "firefox", "firefox", ActivationPolicy::regular, false});
    SettingsWindow& w = open();
    click(SettingsSection::excludedApps);
    EXPECT_NE(w.pane()->findChild<EmptyListForm*>(), nullptr);
    auto* pane = static_cast<ExcludedAppsSettingsView*>(w.pane());

    pane->addMenu()->aboutToShow();
    EXPECT_EQ(actionTexts(pane->addMenu()),
              (QStringList{"Running apps", "Firefox", "Terminal && Console", "Terminal && Console", "",
                           "Choose Application\u2026"}))
        << "each running instance, its & shown as itself";
    actionNamed(pane->addMenu(), "Terminal && Console")->trigger();
    actionNamed(pane->addMenu(), "Terminal && Console")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(preferences.excludedBundleIDs(), std::vector<std::string>{"XTerm"});
    EXPECT_EQ(pane->selection(), "XTerm");
    EXPECT_TRUE(pane->bar()->canRemove());

    pane->bar()->removeButton()->click();
    answerAlert("Cancel");
    EXPECT_EQ(preferences.excludedBundleIDs(), std::vector<std::string>{"XTerm"}) << "Cancel removes nothing";

    // The picker: two chosen, added in list order, the last one selected.
    actionNamed(pane->addMenu(), "Choose Application\u2026")->trigger();
    auto* picker = w.findChild<ApplicationPicker*>();
    ASSERT_NE(picker, nullptr);
    for (int row = 0; row < picker->list()->count(); ++row) {
        const QString id = picker->list()->item(row)->data(Qt::UserRole).toString();
        if (id == "gimp" || id == "firefox") picker->list()->item(row)->setSelected(true);
    }
    picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(preferences.excludedBundleIDs(), (std::vector<std::string>{"XTerm", "firefox", "gimp"}));
    EXPECT_EQ(pane->selection(), "gimp");
    QCoreApplication::processEvents();
    w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
    QCoreApplication::processEvents();
    qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-excludedApps"));

    // Removed elsewhere: nothing is left to remove.
    preferences.setExcludedBundleIDs({"XTerm", "firefox"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(pane->bar()->canRemove());

    pane->list()->setCurrentIndex(pane->list()->model()->index(0, 0));
    QTest::keyClick(pane->list(), Qt::Key_Delete);
    EXPECT_EQ(alert()->text(), "Remove Terminal & Console from the excluded apps?");
    answerAlert("Remove");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(preferences.excludedBundleIDs(), std::vector<std::string>{"firefox"});
    EXPECT_FALSE(pane->bar()->canRemove()) << "the selection went with it";
}

TEST_F(SettingsWindowTest, RulesAreReorderedEditedAndRemovedOnTheStoredSet) {
    SyncedServices services(scheduler, preferences);
    rules = &services.rules;
    zones = &services.zones;
    launcher.install("XTerm", "Terminal");
    launcher.install("firefox", "Firefox");
    const PlacementRule first(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0, 2}, Date(1000));
    const PlacementRule second(UUID::random(), false, "firefox", std::string("Inbox"), std::nullopt, {1}, Date(2000));
    services.rules.modifyRuleSet([&](RuleSet& set) {
        set.upsert(first);
        set.upsert(second);
    });
    SettingsWindow& w = open();
    click(SettingsSection::rules);
    auto* pane = static_cast<RulesSettingsView*>(w.pane());
    EXPECT_EQ(w.findChild<QLabel*>("paneSubtitle")->text(), "First match wins \u00B7 drag to reorder");
    EXPECT_EQ(pane->selection(), first.id) << "the first rule, the one tried first, is selected";
    EXPECT_TRUE(pane->bar()->canRemove());
    ASSERT_NE(pane->detail(), nullptr);
    EXPECT_EQ(pane->detail()->ruleID(), first.id);
    EXPECT_EQ(w.findChild<QLabel*>("noRuleSelected"), nullptr);

    // Dragged to the top: saved first, no stamp changed.
    pane->list()->model()->moveRows(QModelIndex(), 1, 1, QModelIndex(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(services.rules.ruleSet().rules.size(), 2u);
    EXPECT_EQ(services.rules.ruleSet().rules[0].id, second.id);
    EXPECT_EQ(services.rules.ruleSet().rules[0].modifiedAt, Date(2000));
    EXPECT_EQ(services.rules.ruleSet().rules[1].modifiedAt, Date(1000));

    pane->select(first.id);
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane->bar()->canRemove());
    auto* pattern = pane->detail()->findChild<QLineEdit*>("rulePattern");
    auto* message = pane->detail()->findChild<QLabel*>("patternMessage");
    QTest::keyClicks(pattern, "(");
    QCoreApplication::processEvents();
    EXPECT_TRUE(message->isVisibleTo(&w));
    EXPECT_EQ(services.rules.ruleSet().rules[1].titlePattern, "(") << "an invalid pattern is still stored";
    QTest::keyClicks(pattern, ")");
    QCoreApplication::processEvents();
    EXPECT_FALSE(message->isVisibleTo(&w));
    EXPECT_EQ(services.rules.ruleSet().rules[1].titlePattern, "()");
    w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
    QCoreApplication::processEvents();
    qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-rules"));

    pane->bar()->removeButton()->click();
    answerAlert("Cancel");
    EXPECT_EQ(services.rules.ruleSet().rules.size(), 2u) << "Cancel removes nothing";

    // Removed elsewhere while selected: nothing is left to remove, and an edit does not revive it.
    services.rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(first.id); });
    QCoreApplication::processEvents();
    EXPECT_FALSE(pane->bar()->canRemove());
    EXPECT_EQ(pane->detail(), nullptr);
    EXPECT_EQ(services.rules.ruleSet().rules.size(), 1u);
    window.reset();
}

// What the rule editor says, top to bottom, as a user reads it: the section titles, what the title
// field matches and how, an example in the empty field, and the choice that follows the window.
TEST_F(SettingsWindowTest, TheRuleEditorSaysWhatItMatchesAndWhereItPlaces) {
    SyncedServices services(scheduler, preferences);
    rules = &services.rules;
    zones = &services.zones;
    launcher.install("XTerm", "Terminal");
    services.rules.modifyRuleSet([&](RuleSet& set) {
        set.upsert(PlacementRule(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0}, Date(1000)));
    });
    SettingsWindow& w = open();
    click(SettingsSection::rules);
    QCoreApplication::processEvents();
    RuleDetailView* detail = static_cast<RulesSettingsView*>(w.pane())->detail();
    ASSERT_NE(detail, nullptr);
    std::vector<std::string> shown;
    for (const QLabel* label : detail->findChildren<QLabel*>()) {
        if (label->isVisibleTo(&w) && !label->text().isEmpty()) shown.push_back(label->text().toStdString());
    }
    EXPECT_THAT(shown, ::testing::IsSupersetOf<std::vector<std::string>>(
                           {"Match", "Window title contains",
                            "Regular expression, optional. Leave empty to match every window of the app.",
                            "Place in", "Display", "Zones"}));
    auto* pattern = detail->findChild<QLineEdit*>("rulePattern");
    EXPECT_EQ(pattern->placeholderText(), "e.g. ^Inbox");
    EXPECT_EQ(pattern->accessibleName(), "Pattern");
    auto* display = detail->findChild<QComboBox*>("ruleDisplay");
    ASSERT_GE(display->count(), 1);
    EXPECT_EQ(display->itemText(0), "Display the window appears on");
    EXPECT_EQ(display->currentIndex(), 0) << "a rule without a display follows the window";
    window.reset();
}

TEST_F(SettingsWindowTest, WorkspacesAreSavedEditedOnTheStoredCopyAndNeverRevived) {
    SyncedServices services(scheduler, preferences);
    workspaces = &services.workspaces;
    std::vector<UUID> deleted;
    actions.setDeleteWorkspace([&](const UUID& id) {
        deleted.push_back(id);
        services.workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(id); });
    });
    const WorkspaceEntry terminal(UUID::random(), "XTerm", std::string("~/src — bash"), "MAIN@1920x1080", {0},
                                 Rect(0, 0, 100, 100));
    const WorkspaceEntry browser(UUID::random(), "firefox", std::string("News"), "MAIN@1920x1080", {},
                                Rect(0, 0, 100, 100));
    const Workspace coding(UUID::random(), "Coding", {terminal, browser}, {"MAIN"}, false, false, Date(1000));
    const Workspace reading(UUID::random(), "Reading", {browser}, {}, true, false, Date(1000));
    services.workspaces.updateLibrary([&](WorkspaceLibrary& library) {
        library.upsert(coding);
        library.upsert(reading);
    });
    SettingsWindow& w = open();
    click(SettingsSection::workspaces);
    auto* pane = static_cast<WorkspacesSettingsView*>(w.pane());
    ASSERT_NE(pane->detail(), nullptr) << "the first workspace is shown";
    EXPECT_EQ(pane->detail()->workspaceID(), coding.id);
    EXPECT_TRUE(pane->bar()->canRemove());
    w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
    QCoreApplication::processEvents();
    qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-workspaces"));

    // The name, keystroke by keystroke, on the stored workspace.
    auto* name = pane->detail()->findChild<QLineEdit*>("workspaceName");
    name->selectAll();
    QTest::keyClicks(name, "Dev");
    QCoreApplication::processEvents();
    EXPECT_EQ(services.workspaces.library().workspace(coding.id)->name, "Dev");
    EXPECT_NE(services.workspaces.library().workspace(coding.id)->modifiedAt, Date(1000));

    // Saving with a blank name counts the workspaces; "Cancel" saves nothing.
    pane->beginSaveCurrentWindows();
    auto* prompt = w.findChild<QInputDialog*>("saveWorkspacePrompt");
    ASSERT_NE(prompt, nullptr);
    prompt->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(services.workspaces.library().workspaces.size(), 2u);
    pane->saveCurrentWindows("\t");
    QCoreApplication::processEvents();
    ASSERT_EQ(services.workspaces.library().workspaces.size(), 3u);
    EXPECT_EQ(services.workspaces.library().workspaces.back().name, "Workspace 3");

    pane->bar()->removeButton()->click();
    answerAlert("Cancel");
    EXPECT_TRUE(deleted.empty()) << "Cancel removes nothing";

    // Deleted elsewhere while shown: the next edit does not bring it back.
    pane->select(coding.id);
    QCoreApplication::processEvents();
    QPointer<WorkspaceDetailView> detail = pane->detail();
    services.workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(coding.id); });
    detail->findChild<QCheckBox*>("launchesMissingApps")->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(services.workspaces.library().workspace(coding.id).has_value());
    EXPECT_NE(w.findChild<QLabel*>("noWorkspaceSelected"), nullptr);
    EXPECT_FALSE(pane->bar()->canRemove());
    window.reset();
}

TEST_F(SettingsWindowTest, ScreenshotsOfThePanes) {
    SettingsWindow& w = open();
    for (SettingsSection section : {SettingsSection::general, SettingsSection::snapping, SettingsSection::zones,
                                    SettingsSection::shortcuts, SettingsSection::about}) {
        click(section);
        // The offscreen screen is 800 pixels wide; the picture shows the window as it is meant.
        w.setFixedSize(SettingsWindow::idealWidth, SettingsWindow::idealHeight);
        QCoreApplication::processEvents();
        qttest::screenshot(w, "integrations-screens", QStringLiteral("settings-") + QString::fromUtf8(rawValue(section).data()));
    }
}

// The window keeps its sidebar, header and footer across a close; what it shows when opened again
// is still what the services hold at that moment, as a window built afresh would show it.
class SettingsReopenedTest : public SettingsWindowTest {
protected:
    SettingsReopenedTest() {
        rules = &services.rules;
        zones = &services.zones;
        workspaces = &services.workspaces;
        launcher.install("XTerm", "Terminal");
        launcher.install("firefox", "Firefox");
    }
    ~SettingsReopenedTest() override { window.reset(); }

    // Closes the window, makes the change while it is closed, and opens it again.
    SettingsWindow& reopenAfter(const std::function<void()>& whileClosed) {
        window->close();
        QCoreApplication::processEvents();
        whileClosed();
        QCoreApplication::processEvents();
        SettingsWindow& w = open();
        QCoreApplication::processEvents();
        return w;
    }
    bool headerShown(const char* name) const { return !window->findChild<QWidget*>(name)->isHidden(); }

    SyncedServices services{scheduler, preferences};
};

TEST_F(SettingsReopenedTest, ValuesChangedWhileClosedAreShownAndTheFooterFollowsWindowControl) {
    accessibility.trusted = false;
    open();
    const bool restoring = preferences.restoreOnDisplayChange();
    SettingsWindow& w = reopenAfter([&] {
        preferences.setRestoreOnDisplayChange(!restoring);
        accessibility.trusted = true;
    });
    EXPECT_EQ(w.paneTitle(), "General");
    EXPECT_EQ(w.pane()->findChild<QCheckBox*>("restoreOnDisplayChange")->isChecked(), !restoring);
    EXPECT_EQ(w.footerText(), "Window control granted") << "window control is read again at the opening";
    EXPECT_EQ(w.pane()->findChild<StatusTag*>("windowControlTag")->text(), "Granted");
}

TEST_F(SettingsReopenedTest, ARuleRemovedWhileClosedIsGoneAndTheFirstRuleIsSelectedAgain) {
    const PlacementRule first(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0}, Date(1000));
    const PlacementRule second(UUID::random(), true, "firefox", std::nullopt, std::nullopt, {1}, Date(1000));
    const PlacementRule third(UUID::random(), false, "XTerm", std::string("vim"), std::nullopt, {1}, Date(1000));
    services.rules.modifyRuleSet([&](RuleSet& set) {
        set.upsert(first);
        set.upsert(second);
        set.upsert(third);
    });
    open();
    click(SettingsSection::rules);
    static_cast<RulesSettingsView*>(window->pane())->select(third.id);
    SettingsWindow& w = reopenAfter([&] { services.rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(second.id); }); });
    auto* pane = static_cast<RulesSettingsView*>(w.pane());
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(w.paneTitle(), "Rules");
    EXPECT_EQ(pane->list()->count(), 2) << "the removed rule is gone";
    EXPECT_EQ(pane->selection(), first.id) << "a rebuilt list selects the rule tried first";
    ASSERT_NE(pane->detail(), nullptr);
    EXPECT_EQ(pane->detail()->ruleID(), first.id);
    EXPECT_EQ(w.sidebar()->selectedItems().size(), 1);
    EXPECT_EQ(w.sidebar()->currentRow(), static_cast<int>(SettingsSection::rules));
}

TEST_F(SettingsReopenedTest, TheHeaderIsTheReopenedPanesAndNotTheOneClosed) {
    const PlacementRule only(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0}, Date(1000));
    services.rules.modifyRuleSet([&](RuleSet& set) { set.upsert(only); });
    open();
    click(SettingsSection::rules);
    ASSERT_TRUE(headerShown("primaryAction"));
    ASSERT_TRUE(headerShown("paneSubtitle"));
    const struct {
        const char* name;
        std::function<void()> whileClosed;
        const char* title;
        bool subtitle, action;
        QString actionText;
    } rows[] = {
        {"the last rule removed", [&] { services.rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(only.id); }); },
         "Rules", false, false, {}},
        {"Zones asked for", [&] { state.setRequestedSettingsSection(SettingsSection::zones); }, "Zones", false, true,
         QString::fromStdString(zonesResetAction().title)},
        {"General asked for", [&] { state.setRequestedSettingsSection(SettingsSection::general); }, "General", false,
         false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SettingsWindow& w = reopenAfter(row.whileClosed);
        EXPECT_EQ(w.paneTitle(), row.title);
        EXPECT_EQ(headerShown("paneSubtitle"), row.subtitle);
        EXPECT_EQ(headerShown("primaryAction"), row.action);
        if (row.action) {
            EXPECT_EQ(w.findChild<QPushButton*>("primaryAction")->text(), row.actionText);
        }
    }
}

TEST_F(SettingsReopenedTest, AWorkspaceRemovedWhileClosedIsGoneAndThePaneStartsAtTheTop) {
    const WorkspaceEntry terminal(UUID::random(), "XTerm", std::string("bash"), "MAIN@1920x1080", {0},
                                  Rect(0, 0, 100, 100));
    const Workspace coding(UUID::random(), "Coding", {terminal}, {"MAIN"}, false, false, Date(1000));
    const Workspace reading(UUID::random(), "Reading", {terminal}, {}, true, false, Date(1000));
    services.workspaces.updateLibrary([&](WorkspaceLibrary& library) {
        library.upsert(coding);
        library.upsert(reading);
    });
    // Recorders of a recorder's height, so that the Shortcuts pane runs past the window.
    SettingsHooks hooks;
    hooks.makeRecorder = [](const std::string&, QWidget* parent) -> QWidget* {
        auto* field = new QLineEdit(parent);
        field->setFixedHeight(30);
        return field;
    };
    window = std::make_unique<SettingsWindow>(context(std::move(hooks)));
    SettingsWindow& opened = open();
    click(SettingsSection::workspaces);
    static_cast<WorkspacesSettingsView*>(opened.pane())->select(reading.id);
    SettingsWindow& w = reopenAfter(
        [&] { services.workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(reading.id); }); });
    auto* pane = static_cast<WorkspacesSettingsView*>(w.pane());
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->list()->count(), 1);
    EXPECT_EQ(pane->selection(), coding.id);

    // Scrolled down a long pane, closed and opened again: the pane shows from its top.
    click(SettingsSection::shortcuts);
    QCoreApplication::processEvents();
    QScrollBar* scroll = w.findChild<QScrollArea*>("paneScroll")->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0) << "the Shortcuts pane is taller than the window";
    scroll->setValue(scroll->maximum());
    reopenAfter([] {});
    EXPECT_EQ(w.paneTitle(), "Shortcuts");
    EXPECT_EQ(w.findChild<QScrollArea*>("paneScroll")->verticalScrollBar()->value(), 0);
}

}  // namespace
