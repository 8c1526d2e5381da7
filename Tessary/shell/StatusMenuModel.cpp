#include "Tessary/shell/StatusMenuModel.h"

#include <algorithm>

#include "TessaryCore/ZoneGeometry.h"

namespace tessary::StatusMenuModel {

namespace {

const char* const kEllipsis = "\u2026";

StatusMenuItem separator() {
    StatusMenuItem item;
    item.kind = StatusMenuItem::Kind::separator;
    return item;
}

StatusMenuItem actionItem(std::string text, MenuAction::Kind kind, std::optional<std::string> boundName = std::nullopt) {
    StatusMenuItem item;
    item.text = std::move(text);
    item.action.kind = kind;
    item.boundName = std::move(boundName);
    return item;
}

StatusMenuItem layoutRow(const DisplayInfo& display, const LayoutLibrary& library) {
    StatusMenuItem item;
    item.kind = StatusMenuItem::Kind::layoutRow;
    item.display = display;
    item.text = display.localizedName;
    item.layouts = library.layouts;
    if (const auto current = library.layout(display.displayKey())) {
        item.currentLayoutName = current->name;
        item.selectedLayoutID = current->id;
    }
    item.accessibilityLabel = display.localizedName + ": " + item.currentLayoutName.value_or("");
    return item;
}

StatusMenuItem snapFocusedWindowMenu(const StatusMenuInputs& inputs) {
    StatusMenuItem menu;
    menu.kind = StatusMenuItem::Kind::submenu;
    menu.text = "Snap Focused Window";
    std::size_t count = 0;
    for (const DisplayInfo& display : inputs.displays) {
        if (const auto layout = inputs.library.layout(display.displayKey())) {
            count = std::max(count, ZoneGeometry::zones(*layout, display.workArea).size());
        }
    }
    const auto names = snapToZoneNames();
    for (std::size_t i = 0; i < count; ++i) {
        StatusMenuItem zone = actionItem("Zone " + std::to_string(i + 1), MenuAction::Kind::snapToZone);
        zone.action.zoneIndex = static_cast<std::int64_t>(i);
        if (i < names.size()) zone.boundName = names[i];
        menu.children.push_back(std::move(zone));
    }
    if (count == 0) {
        StatusMenuItem none = actionItem("No zones", MenuAction::Kind::none);
        none.enabled = false;
        menu.children.push_back(std::move(none));
    }
    return menu;
}

StatusMenuItem workspacesMenu(const WorkspaceLibrary& library) {
    StatusMenuItem menu;
    menu.kind = StatusMenuItem::Kind::submenu;
    menu.text = "Workspaces";
    for (const Workspace& workspace : library.workspaces) {
        StatusMenuItem item = actionItem(workspace.name, MenuAction::Kind::restoreWorkspace,
                                         workspaceShortcutName(workspace.id));
        item.action.workspace = workspace;
        menu.children.push_back(std::move(item));
    }
    if (!library.workspaces.empty()) menu.children.push_back(separator());
    menu.children.push_back(actionItem(std::string("Save Current Windows") + kEllipsis, MenuAction::Kind::saveWorkspace));
    return menu;
}

StatusMenuItem twoLineRow(std::string title, std::string subtitle, MenuAction::Kind kind) {
    StatusMenuItem item = actionItem(std::move(title), kind);
    item.kind = StatusMenuItem::Kind::twoLineRow;
    item.subtitle = std::move(subtitle);
    item.action.closesMenu = true;
    return item;
}

}  // namespace

std::vector<std::string> snapToZoneNames() {
    std::vector<std::string> names;
    for (int i = 1; i <= 9; ++i) names.push_back("snapToZone" + std::to_string(i));
    return names;
}

std::string workspaceShortcutName(const UUID& id) { return "workspace." + id.uuidString(); }

std::vector<StatusMenuItem> build(const StatusMenuInputs& inputs) {
    std::vector<StatusMenuItem> items;
    if (!inputs.windowControlGranted) {
        items.push_back(actionItem(std::string("Set Up Window Control") + kEllipsis, MenuAction::Kind::showOnboarding));
        items.push_back(separator());
    }
    for (const DisplayInfo& display : inputs.displays) items.push_back(layoutRow(display, inputs.library));
    if (!inputs.displays.empty()) items.push_back(separator());
    items.push_back(snapFocusedWindowMenu(inputs));
    items.push_back(actionItem("Show Zones", MenuAction::Kind::flashZones, "showZones"));
    items.push_back(actionItem("Restore Windows to Zones", MenuAction::Kind::restoreAllWindows, "restoreAllWindows"));
    items.push_back(workspacesMenu(inputs.workspaces));
    items.push_back(actionItem(std::string("Edit Layouts") + kEllipsis, MenuAction::Kind::showEditor, "openEditor"));
    items.push_back(separator());
    if (inputs.pendingUpdateVersion) {
        items.push_back(twoLineRow("Tessary " + *inputs.pendingUpdateVersion + " is available",
                                   std::string("See what is new and install") + kEllipsis,
                                   MenuAction::Kind::checkForUpdates));
        items.push_back(separator());
    }
    if (inputs.offerReview) {
        items.push_back(twoLineRow("Enjoying Tessary?", std::string("Write a review or tell us what is missing") + kEllipsis,
                                   MenuAction::Kind::askForReview));
        items.push_back(separator());
    }
    items.push_back(actionItem("About Tessary", MenuAction::Kind::showAbout));
    if (inputs.updaterConfigured) {
        StatusMenuItem check = actionItem(std::string("Check for Updates") + kEllipsis, MenuAction::Kind::checkForUpdates);
        check.enabled = inputs.updaterCanCheck;
        items.push_back(std::move(check));
    }
    items.push_back(actionItem(std::string("Send Feedback") + kEllipsis, MenuAction::Kind::sendFeedback));
    items.push_back(separator());
    StatusMenuItem settings = actionItem(std::string("Settings") + kEllipsis, MenuAction::Kind::showSettings);
    settings.keyEquivalent = ",";
    items.push_back(std::move(settings));
    StatusMenuItem quit = actionItem("Quit Tessary", MenuAction::Kind::quit);
    quit.keyEquivalent = "q";
    items.push_back(std::move(quit));
    return items;
}

std::vector<int> tileRowsShown(const std::vector<int>& needed, int fit, int most) {
    std::vector<int> shown;
    int total = 0;
    for (int rows : needed) {
        shown.push_back(std::clamp(rows, 0, std::max(1, most)));
        total += shown.back();
    }
    while (total > fit) {
        const auto tallest = std::max_element(shown.begin(), shown.end());
        if (tallest == shown.end() || *tallest <= 1) break;
        --*tallest;
        --total;
    }
    return shown;
}

Rect menuBesideIcon(const Rect& placed, const Rect& icon, const Rect& monitor) {
    const auto covers = [&icon](const Rect& menu) {
        const Rect common = menu.intersection(icon);
        return !common.isNull() && !common.isEmpty();
    };
    if (icon.isEmpty() || !covers(placed)) return placed;
    const double width = placed.width(), height = placed.height();
    // Along the icon's edge, kept inside the monitor where the menu is narrower or shorter than it.
    const auto along = [](double at, double length, double from, double to) {
        return length > to - from ? at : std::clamp(at, from, to - length);
    };
    const double x = along(icon.minX(), width, monitor.minX(), monitor.maxX());
    const double y = along(placed.minY(), height, monitor.minY(), monitor.maxY());
    const Rect candidates[] = {Rect(x, icon.maxY(), width, height), Rect(x, icon.minY() - height, width, height),
                               Rect(icon.minX() - width, y, width, height), Rect(icon.maxX(), y, width, height)};
    for (const Rect& candidate : candidates) {
        const bool inside = candidate.minX() >= monitor.minX() && candidate.maxX() <= monitor.maxX() &&
                            candidate.minY() >= monitor.minY() && candidate.maxY() <= monitor.maxY();
        if (inside && !covers(candidate)) return candidate;
    }
    return placed;
}

std::vector<StatusMenuItem> withoutWidgetRows(std::vector<StatusMenuItem> items) {
    for (StatusMenuItem& item : items) {
        if (item.kind == StatusMenuItem::Kind::twoLineRow) {
            item.kind = StatusMenuItem::Kind::action;
        } else if (item.kind == StatusMenuItem::Kind::layoutRow) {
            item.kind = StatusMenuItem::Kind::submenu;
            if (item.currentLayoutName) item.text += " \u00B7 " + *item.currentLayoutName;
            for (const ZoneLayout& layout : item.layouts) {
                StatusMenuItem choice = actionItem(layout.name, MenuAction::Kind::assignLayout);
                choice.checkable = true;
                choice.checked = item.selectedLayoutID && *item.selectedLayoutID == layout.id;
                choice.action.display = item.display;
                choice.action.layoutID = layout.id;
                item.children.push_back(std::move(choice));
            }
        }
    }
    return items;
}

}  // namespace tessary::StatusMenuModel
