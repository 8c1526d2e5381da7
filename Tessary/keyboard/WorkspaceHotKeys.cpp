#include "Tessary/keyboard/WorkspaceHotKeys.h"

namespace tessary {

WorkspaceHotKeys::WorkspaceHotKeys(GlobalShortcuts& shortcuts, WorkspaceService& workspaces)
    : shortcuts_(shortcuts), workspaces_(workspaces), self_(std::make_shared<WorkspaceHotKeys*>(this)) {}

WorkspaceHotKeys::~WorkspaceHotKeys() {
    *self_ = nullptr;
}

GlobalShortcuts::Name WorkspaceHotKeys::shortcutName(const UUID& workspace) {
    return GlobalShortcuts::Name("workspace." + workspace.uuidString());
}

void WorkspaceHotKeys::syncShortcuts() {
    std::set<UUID> present;
    for (const Workspace& workspace : workspaces_.library().workspaces) {
        present.insert(workspace.id);
        if (!registered_.insert(workspace.id).second) continue;
        std::weak_ptr<WorkspaceHotKeys*> weak = self_;
        shortcuts_.onKeyDown(shortcutName(workspace.id), [weak, id = workspace.id] {
            if (auto self = weak.lock(); self && *self) (*self)->restore(id);
        });
    }
    for (auto it = registered_.begin(); it != registered_.end();) {
        if (present.count(*it)) {
            ++it;
            continue;
        }
        shortcuts_.removeHandler(shortcutName(*it));
        it = registered_.erase(it);
    }
}

void WorkspaceHotKeys::removeShortcut(const UUID& workspace) {
    registered_.erase(workspace);
    const GlobalShortcuts::Name name = shortcutName(workspace);
    shortcuts_.removeHandler(name);
    shortcuts_.reset({name});
}

void WorkspaceHotKeys::restore(const UUID& workspace) {
    if (const auto found = workspaces_.library().workspace(workspace)) workspaces_.restore(*found);
}

}  // namespace tessary
