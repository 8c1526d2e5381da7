// Texts shown whole where the window can make room for them: a title cut to "…" or wrapped a word
// a line tells the user less than the window could.

#include <gtest/gtest.h>

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "Tessary/shell/ui/ConfirmDestructive.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;

// Every tile's title, "Two Monitors, Each Split" too, on as many lines as it takes.
TEST(WholeTexts, TheNewLayoutSheetsTilesShowTheirWholeTitles) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2))});
    LayoutEditorView editor(*w.model);
    editor.resize(1120, 700);
    editor.show();
    // As the toolbar's "New Layout" asks for it.
    w.model->setPresentingNewLayout(true);
    NewLayoutSheet& sheet = *editor.newLayoutSheet();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    QCoreApplication::processEvents();
    QAbstractButton* longOne = nullptr;
    for (QAbstractButton* tile : sheet.tiles()) {
        const QString title = tile->accessibleName();
        SCOPED_TRACE(title.toStdString());
        if (title == "Two Monitors, Each Split") longOne = tile;
        const auto labels = tile->findChildren<QLabel*>();
        ASSERT_FALSE(labels.isEmpty());
        QLabel* shown = labels.front();
        EXPECT_EQ(shown->text(), title);
        EXPECT_GE(shown->height(), shown->heightForWidth(shown->width())) << "lines of the title cut off";
    }
    ASSERT_NE(longOne, nullptr);
    sheet.findChild<QScrollArea*>()->ensureWidgetVisible(longOne);
    qttest::screenshot(sheet, "whole-texts", "new-layout-sheet");
}

// The prompt's title is the window manager's to draw, in a title bar beside its buttons: a prompt
// 200 px wide showed "Duplic… ayout".
TEST(WholeTexts, TheDuplicatePromptLeavesRoomForItsTitle) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("A rather long layout name, as people give them", ZoneGrid::uniform(1, 2))});
    w.select(0);
    LayoutEditorView editor(*w.model);
    editor.resize(1120, 700);
    editor.show();
    QAction* duplicate = nullptr;
    for (QAction* action : editor.findChild<QToolBar*>()->actions()) {
        if (action->text() == "Duplicate") duplicate = action;
    }
    ASSERT_NE(duplicate, nullptr);
    duplicate->trigger();
    auto* prompt = editor.findChild<QInputDialog*>();
    ASSERT_NE(prompt, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(prompt));
    QFont bold = prompt->font();
    bold.setBold(true);
    EXPECT_GE(prompt->width(), 2 * QFontMetrics(bold).horizontalAdvance(prompt->windowTitle()))
        << "the title and as much again for the bar's buttons";
    auto* field = prompt->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(field->text()))
        << "the suggested name shows whole";
    qttest::screenshot(*prompt, "whole-texts", "duplicate-prompt");
    prompt->reject();
}

// A confirmation with a short title ("Reset “Halves”?") reads its sentence on a line or two, not a
// word or two a line in a box as narrow as the title.
TEST(WholeTexts, AShortConfirmationReadsItsSentenceOnFewLines) {
    qttest::qtApplication();
    const QString sentence = QStringLiteral("Its zones are replaced and the changes you made to them are lost.");
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        QLabel* shown = nullptr;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == sentence) shown = label;
        }
        ASSERT_NE(shown, nullptr);
        const QFontMetrics metrics = shown->fontMetrics();
        const int lines = metrics.boundingRect(QRect(0, 0, shown->contentsRect().width(), 10000), Qt::TextWordWrap, sentence)
                              .height() /
                          metrics.lineSpacing();
        EXPECT_LE(lines, 2) << "the sentence on " << lines << " lines, in a box " << box->width() << " px wide";
        qttest::screenshot(*box, "whole-texts", "reset-confirmation");
        box->reject();
    });
    confirmDestructive(nullptr, QString::fromUtf8("Reset \u201CHalves\u201D?"), sentence, QStringLiteral("Reset"), [] {});
    EXPECT_TRUE(seen);
}
