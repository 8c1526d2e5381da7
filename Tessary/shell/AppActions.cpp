#include "Tessary/shell/AppActions.h"

namespace tessary {

void AppActions::run(AppAction action) const {
    if (const auto& target = targets_[static_cast<std::size_t>(action)]) target();
}

void AppActions::deleteWorkspace(const UUID& id) const {
    if (deleteWorkspace_) deleteWorkspace_(id);
}

void AppActions::set(AppAction action, std::function<void()> target) {
    targets_[static_cast<std::size_t>(action)] = std::move(target);
    changed_.emit(action);
}

void AppActions::setDeleteWorkspace(std::function<void(const UUID&)> target) {
    deleteWorkspace_ = std::move(target);
    changed_.emit(AppAction::deleteWorkspace);
}

void AppActions::reset() {
    for (auto& target : targets_) target = nullptr;
    deleteWorkspace_ = nullptr;
}

bool AppActions::isSet(AppAction action) const {
    if (action == AppAction::deleteWorkspace) return static_cast<bool>(deleteWorkspace_);
    return static_cast<bool>(targets_[static_cast<std::size_t>(action)]);
}

}  // namespace tessary
