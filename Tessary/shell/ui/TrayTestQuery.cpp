#include "Tessary/shell/ui/TrayTestQuery.h"

#include <QAction>
#include <QMenu>

#include <cmath>
#include <string>

#include "Tessary/shell/ui/LayoutTileList.h"
#include "Tessary/shell/ui/MenuRows.h"
#include "Tessary/shell/ui/StatusItemController.h"

namespace tessary {

namespace {

// A rectangle of the widget in the X server's pixels, as "X Y W H".
std::string onScreen(const QWidget* widget, const QRect& local) {
    const double ratio = widget->devicePixelRatioF();
    const QPoint origin = widget->mapToGlobal(local.topLeft());
    return std::to_string(std::lround(origin.x() * ratio)) + " " + std::to_string(std::lround(origin.y() * ratio)) +
           " " + std::to_string(std::lround(local.width() * ratio)) + " " +
           std::to_string(std::lround(local.height() * ratio));
}

std::string rowLine(const DisplayLayoutsRow& row) {
    const LayoutTileList* tiles = row.tileList();
    if (!tiles) return "0 0 -1 0 0 0 0 0 0 0 0";
    int selected = -1;
    for (int i = 0; i < tiles->tileCount() && selected < 0; ++i) {
        if (tiles->isTileSelected(i)) selected = i;
    }
    const QWidget* viewport = tiles->viewport();
    return std::to_string(tiles->visibleRows()) + " " + std::to_string(tiles->rowCount()) + " " +
           std::to_string(selected) + " " + (selected >= 0 ? onScreen(tiles, tiles->tileRect(selected)) : "0 0 0 0") +
           " " + onScreen(viewport, viewport->rect());
}

InstanceReply itemLine(const QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions()) {
        if (action->text() != title) continue;
        std::string reply = onScreen(&menu, menu.actionGeometry(action));
        if (const QMenu* submenu = action->menu()) reply += submenu->isVisible() ? " open" : " shut";
        return {reply, 0};
    }
    return {"no item " + title.toStdString(), 1};
}

}  // namespace

CommandLineVerb trayTestVerb(std::function<const StatusItemController*()> statusItem) {
    return [statusItem = std::move(statusItem)](const std::vector<std::string>& arguments) -> InstanceReply {
        const bool rows = arguments.size() == 1 && arguments[0] == "rows";
        if (!rows && !(arguments.size() == 2 && arguments[0] == "item")) {
            return {"usage: tray-test rows | tray-test item TITLE", 2};
        }
        const StatusItemController* controller = statusItem ? statusItem() : nullptr;
        if (!controller || !controller->menu()->isVisible()) return {"closed", 0};
        if (!rows) return itemLine(*controller->menu(), QString::fromStdString(arguments[1]));
        std::string reply;
        for (QAction* action : controller->menu()->actions()) {
            const auto* host = qobject_cast<HostedRowAction*>(action);
            const auto* row = host ? qobject_cast<const DisplayLayoutsRow*>(host->row()) : nullptr;
            if (!row) continue;
            if (!reply.empty()) reply += "\n";
            reply += rowLine(*row);
        }
        return {reply, 0};
    };
}

}  // namespace tessary
