#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Tessary/editor/EditorPreview.h"
#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/shell/ui/RowListView.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"
#include "Tessary/editor/ui/LayoutInspector.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Each call as one line, stamped with the virtual time in milliseconds: "16 show 1:2" is display
// 1 with two zones.
class RecordingOverlay final : public PreviewPresenting {
public:
    explicit RecordingOverlay(Scheduler& scheduler) : scheduler_(scheduler), start_(scheduler.now()) {}
    void showPreview(const std::vector<OverlayItem>& items) override {
        std::string line = stamp() + " show";
        for (const auto& item : items) line += " " + std::to_string(item.display.displayID) + ":" + std::to_string(item.zones.size());
        lines.push_back(line);
    }
    void hidePreview() override { lines.push_back(stamp() + " hide"); }

    std::vector<std::string> lines;

private:
    std::string stamp() const {
        return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(scheduler_.now() - start_).count());
    }
    Scheduler& scheduler_;
    Scheduler::TimePoint start_;
};

struct Preview {
    Preview() : world({gridLayout("Two", ZoneGrid::uniform(1, 2)), gridLayout("Three", ZoneGrid::uniform(1, 3))}) {}
    void rename() { world.model->rename("N" + std::to_string(++renames)); }

    EditorWorld world;
    RecordingOverlay overlay{world.scheduler};
    EditorPreview preview{*world.model, overlay, world.scheduler};
    int renames = 0;
};

}  // namespace

TEST(EditorPreview, ShowsFollowsAndEndsInVirtualTime) {
    struct Case {
        const char* name;
        std::function<void(Preview&)> script;
        std::vector<std::string> lines;
        std::optional<std::uint32_t> previewAfter;
    };
    const Case cases[] = {
        {"leftAloneItShowsAfter16msAndHides5sLater", [](Preview& p) {
             p.world.model->setPreviewDisplayID(1);
             p.world.scheduler.advance(10s);
         }, {"16 show 1:2", "5032 hide"}, std::nullopt},
        {"toggledOff", [](Preview& p) {
             p.world.model->setPreviewDisplayID(1);
             p.world.scheduler.advance(100ms);
             p.world.model->setPreviewDisplayID(std::nullopt);
             p.world.scheduler.advance(10s);
         }, {"16 show 1:2", "116 hide"}, std::nullopt},
        {"twentyChangesWithin16msGiveOneShow", [](Preview& p) {
             p.world.model->setPreviewDisplayID(1);
             for (int i = 0; i < 20; ++i) p.rename();
             p.world.scheduler.advance(1s);
         }, {"16 show 1:2"}, 1},
        {"anotherLayoutShowsWithin16msAndRestartsTheTimeout", [](Preview& p) {
             p.world.model->setPreviewDisplayID(1);
             p.world.scheduler.advance(1s);
             p.world.select(1);
             p.world.scheduler.advance(10s);
         }, {"16 show 1:2", "1016 show 1:3", "6032 hide"}, std::nullopt},
        {"aGoneDisplayHidesAndLeavesNoTimeout", [](Preview& p) {
             p.world.model->setPreviewDisplayID(2);
             p.world.scheduler.advance(100ms);
             DisplayProvider::displaysOverride = std::vector<DisplayInfo>{p.world.main};
             p.rename();
             p.world.scheduler.advance(16ms);
             EXPECT_EQ(p.world.scheduler.pendingCount(), 0u);
         }, {"16 show 2:2", "116 hide"}, 2},
        {"closingHidesAtOnce", [](Preview& p) {
             p.world.model->setPreviewDisplayID(1);
             p.world.scheduler.advance(100ms);
             p.preview.windowClosed();
             p.world.scheduler.advance(10s);
         }, {"16 show 1:2", "100 hide"}, std::nullopt},
        {"withoutAPreviewALibraryChangeLeavesOthersOverlaysAlone", [](Preview& p) {
             p.rename();
             p.world.scheduler.advance(10s);
             p.preview.windowClosed();
             p.world.scheduler.advance(10s);
         }, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Preview p;
        EXPECT_EQ(p.world.scheduler.pendingCount(), 0u) << "nothing scheduled while idle";
        c.script(p);
        EXPECT_EQ(p.overlay.lines, c.lines);
        EXPECT_EQ(p.world.model->previewDisplayID(), c.previewAfter);
    }
}

TEST(EditorPreview, EditsEvery50msKeepItUntil5sAfterTheLast) {
    Preview p;
    p.world.model->setPreviewDisplayID(1);
    for (int step = 0; step < 200; ++step) {
        p.world.scheduler.advance(50ms);
        p.world.select(static_cast<std::size_t>(step % 2));  // a change each step, without a disk write
    }
    p.world.scheduler.advance(10s);
    std::vector<std::string> hides;
    for (const auto& line : p.overlay.lines) {
        if (line.find("hide") != std::string::npos) hides.push_back(line);
    }
    // The last change at 10000 ms shows at 10016; 5 s later the preview ends and hides 16 ms after.
    EXPECT_THAT(hides, ElementsAre("15032 hide"));
}

TEST(EditorPreview, EscIsSwallowedOnlyToEndARunningPreviewInTheEditor) {
    int swallowed = 0;
    for (int bits = 0; bits < 16; ++bits) {
        const EscapeContext c{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
        SCOPED_TRACE(::testing::Message() << "preview " << c.previewRuns << ", in window " << c.inEditorWindow
                                          << ", dialog " << c.dialogOpen << ", text field " << c.focusInTextField);
        if (swallowsEscape(c)) {
            ++swallowed;
            EXPECT_TRUE(c.previewRuns && c.inEditorWindow && !c.dialogOpen && !c.focusInTextField);
        }
    }
    EXPECT_EQ(swallowed, 1);
}

TEST(LayoutEditorWindowController, EscEndsThePreviewUnlessTypingAndClosingKeepsTheSelection) {
    qttest::qtApplication();
    EditorWorld world({gridLayout("Two", ZoneGrid::uniform(1, 2)), gridLayout("Three", ZoneGrid::uniform(1, 3))});
    RecordingOverlay overlay(world.scheduler);
    LayoutEditorWindowController editor(*world.zones, overlay, world.scheduler);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.window()));
    EXPECT_EQ(editor.window()->size(), QSize(1120, 700));
    EXPECT_EQ(editor.window()->windowTitle(), "Two");
    editor.model().setSelectedLayoutID(world.layout(1).id);
    EXPECT_EQ(editor.window()->windowTitle(), "Three");

    editor.model().setPreviewDisplayID(1);
    editor.view()->inspector()->nameField()->setFocus();
    QTest::keyClick(editor.view()->inspector()->nameField(), Qt::Key_Escape);
    EXPECT_EQ(editor.model().previewDisplayID(), 1u) << "Esc belongs to the name field";
    editor.view()->layoutList()->setFocus();
    QTest::keyClick(editor.view()->layoutList(), Qt::Key_Escape);
    EXPECT_EQ(editor.model().previewDisplayID(), std::nullopt);

    editor.model().setPreviewDisplayID(1);
    world.scheduler.advance(16ms);
    editor.window()->close();
    EXPECT_FALSE(editor.window()->isVisible());
    EXPECT_EQ(overlay.lines.back(), "16 hide") << "closing hides the preview at once";
    editor.show();
    EXPECT_EQ(editor.model().selectedLayoutID(), world.layout(1).id);
    EXPECT_EQ(editor.model().previewDisplayID(), std::nullopt);
}
