#include "Tessary/editor/ui/EditorTestQuery.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QToolBar>
#include <QWidget>

#include <cstdlib>
#include <optional>

#include "Tessary/editor/ui/CanvasEditorView.h"
#include "Tessary/editor/ui/EditorPainting.h"
#include "Tessary/editor/ui/GridEditorView.h"
#include "Tessary/editor/ui/LayoutCanvasPane.h"
#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"

namespace tessary::EditorTestQuery {
namespace {

// In the X server's pixels, which is what XTest moves the pointer in.
QRect onScreen(const QWidget* widget, const QRect& local) {
    const qreal ratio = widget->devicePixelRatioF();
    const QPoint origin = widget->mapToGlobal(local.topLeft());
    return {QPoint(qRound(origin.x() * ratio), qRound(origin.y() * ratio)),
            QSize(qRound(local.width() * ratio), qRound(local.height() * ratio))};
}

QString plain(QString text) { return text.remove(QLatin1Char('&')); }

std::optional<QRect> zone(const LayoutEditorWindowController& editor, int number) {
    const LayoutCanvasPane* pane = editor.view() ? editor.view()->canvasPane() : nullptr;
    if (!pane || number < 1) return std::nullopt;
    const auto index = static_cast<std::size_t>(number - 1);
    if (const GridEditorView* grid = pane->gridEditor(); grid->isVisible()) {
        const auto& cells = grid->surface().cells();
        if (index < cells.size()) return onScreen(grid, editorpainting::toQt(cells[index].frame).toAlignedRect());
    }
    if (const CanvasEditorView* canvas = pane->canvasEditor(); canvas->isVisible()) {
        for (const auto& view : canvas->surface().zoneViews()) {
            // Zone views count from 0, the names from 1, as the badges do.
            if (view.index + 1 == number) return onScreen(canvas, editorpainting::toQt(view.frame).toAlignedRect());
        }
    }
    return std::nullopt;
}

std::optional<QRect> control(const QWidget* top, const QString& name) {
    for (const QToolBar* toolbar : top->findChildren<QToolBar*>()) {
        if (!toolbar->isVisible()) continue;
        for (QAction* action : toolbar->actions()) {
            const QWidget* button = toolbar->widgetForAction(action);
            if (action->isVisible() && button && plain(action->text()) == name) return onScreen(button, button->rect());
        }
    }
    for (const QWidget* widget : top->findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const auto* label = qobject_cast<const QLabel*>(widget);
        if ((button && plain(button->text()) == name) || (label && label->text() == name) ||
            widget->accessibleName() == name) {
            return onScreen(widget, widget->rect());
        }
        if (const auto* items = qobject_cast<const QAbstractItemView*>(widget); items && items->model()) {
            const QAbstractItemModel& model = *items->model();
            for (int row = 0; row < model.rowCount(items->rootIndex()); ++row) {
                const QModelIndex index = model.index(row, 0, items->rootIndex());
                // An item's rectangle may run past what its view shows (a pop-up's list is laid
                // out wider than the pop-up): the part on screen is what a click can reach.
                const QRect shown = items->visualRect(index).intersected(items->viewport()->rect());
                if (model.data(index).toString() == name && !shown.isEmpty()) return onScreen(items->viewport(), shown);
            }
        }
    }
    return std::nullopt;
}

}  // namespace

bool enabled() {
    const char* value = std::getenv("TESSARY_E2E");
    return value && std::string(value) == "1";
}

InstanceReply answer(const LayoutEditorWindowController* editor, const std::vector<std::string>& arguments) {
    if (arguments.size() != 2 || arguments[0] != "rect") return {"usage: editor-test rect NAME", 2};
    if (!editor || !editor->window()->isVisible()) return {"the editor is not open", 1};
    const QString name = QString::fromStdString(arguments[1]);
    std::optional<QRect> found;
    if (name.startsWith(QLatin1String("zone "))) found = zone(*editor, name.mid(5).toInt());
    // The editor window first, then its pop-ups and dialogs, which are windows of their own.
    if (!found) found = control(editor->window(), name);
    for (const QWidget* top : QApplication::topLevelWidgets()) {
        if (found) break;
        if (top != editor->window() && top->isVisible()) found = control(top, name);
    }
    if (!found) return {"no control named " + arguments[1], 1};
    return {std::to_string(found->x()) + " " + std::to_string(found->y()) + " " + std::to_string(found->width()) +
                " " + std::to_string(found->height()),
            0};
}

}  // namespace tessary::EditorTestQuery
