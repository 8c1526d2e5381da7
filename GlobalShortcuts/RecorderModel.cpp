#include "GlobalShortcuts/RecorderModel.h"

#include "GlobalShortcuts/Utilities.h"
#include "Platform/CarbonModifiers.h"

#include <map>

namespace tessary {

namespace {

constexpr std::uint32_t kTab = 0xff09, kBackSpace = 0xff08, kDelete = 0xffff, kKeypadDelete = 0xff9f;

const std::map<std::string_view, std::string_view>& texts() {
    static const std::map<std::string_view, std::string_view> table{
        {"record_shortcut", "Record Shortcut"},
        {"press_shortcut", "Press Shortcut"},
        {"keyboard_shortcut_used_by_menu_item", "This shortcut cannot be used because the menu item “%s” uses it."},
        {"keyboard_shortcut_disallowed",
         "This shortcut cannot be used: it needs a modifier besides Alt and Shift."},
        {"keyboard_shortcut_used_by_system",
         "This shortcut is already used by another program, such as the window manager or the desktop."},
        {"keyboard_shortcuts_can_be_changed", "Most desktops let you change their shortcuts in their keyboard settings."},
        {"ok", "OK"},
        {"force_use_shortcut", "Use Anyway"},
    };
    return table;
}

}  // namespace

std::string recorderText(std::string_view key) {
    auto it = texts().find(key);
    return it == texts().end() ? std::string(key) : std::string(it->second);
}

RecorderModel::RecorderModel(GlobalShortcuts& shortcuts, GlobalShortcuts::Name name, ChangeHandler change)
    : onChange(std::move(change)),
      shortcuts_(shortcuts),
      mode_(StorageMode::name),
      name_(std::move(name)),
      monitor_(shortcuts.localEvents(),
               localEventBit(LocalEventType::keyDown) | localEventBit(LocalEventType::leftMouseUp) |
                   localEventBit(LocalEventType::rightMouseUp),
               [this](const LocalEvent& event) { return handle(event); }) {
    nameChanges_ = shortcuts_.shortcutByNameDidChange.subscribe([this](const GlobalShortcuts::Name& changed) {
        if (changed.rawValue == name_.rawValue) view.refresh();
    });
}

RecorderModel::RecorderModel(GlobalShortcuts& shortcuts, std::optional<Shortcut> binding, ChangeHandler change)
    : onChange(std::move(change)),
      shortcuts_(shortcuts),
      mode_(StorageMode::binding),
      binding_(binding),
      monitor_(shortcuts.localEvents(),
               localEventBit(LocalEventType::keyDown) | localEventBit(LocalEventType::leftMouseUp) |
                   localEventBit(LocalEventType::rightMouseUp),
               [this](const LocalEvent& event) { return handle(event); }) {}

RecorderModel::~RecorderModel() {
    *alive_ = false;
    // A recorder rebuilt away while recording must not leave every hot key paused.
    endRecording();
}

void RecorderModel::setShortcutName(GlobalShortcuts::Name name) {
    const bool changed = name.rawValue != name_.rawValue;
    name_ = std::move(name);
    if (changed && mode_ == StorageMode::name) view.refresh();
}

std::optional<Shortcut> RecorderModel::currentShortcut() const {
    return mode_ == StorageMode::binding ? binding_ : shortcuts_.getShortcut(name_);
}

void RecorderModel::setCurrentShortcut(std::optional<Shortcut> shortcut) {
    if (shortcut == currentShortcut()) return;
    if (mode_ == StorageMode::name) {
        shortcuts_.setShortcut(shortcut, name_);
    } else {
        binding_ = shortcut;
    }
    view.refresh();
}

std::string RecorderModel::text() const {
    const auto shortcut = currentShortcut();
    return shortcut ? shortcuts_.description(*shortcut) : std::string();
}

std::string RecorderModel::placeholder() const {
    return recorderText(isRecording() ? "press_shortcut" : "record_shortcut");
}

void RecorderModel::startRecording() {
    if (isRecording()) return;
    monitor_.start();
    shortcuts_.activeRecorder = this;
    shortcuts_.setPaused(true);
    shortcuts_.recorderActiveStatusDidChange.emit(true);
    view.refresh();
}

void RecorderModel::endRecording() {
    if (!isRecording()) return;
    monitor_.stop();
    if (shortcuts_.activeRecorder == this) {
        shortcuts_.activeRecorder = nullptr;
        shortcuts_.setPaused(false);
        shortcuts_.recorderActiveStatusDidChange.emit(false);
    }
    if (*alive_) view.refresh();
}

void RecorderModel::clear() {
    if (mode_ == StorageMode::name) {
        shortcuts_.setShortcut(std::nullopt, name_);
    } else {
        binding_.reset();
    }
    if (onChange) onChange(std::nullopt);
    view.refresh();
    if (!isRecording()) view.takeFocus();
}

std::optional<int> RecorderModel::runAlert(const Alert& alert) {
    std::weak_ptr<bool> alive = alive_;
    view.resignFocus();
    const auto show = view.runAlert;  // a copy: the alert may outlive the recorder
    const int response = show(alert);
    if (alive.expired()) return std::nullopt;
    view.takeFocus();
    return response;
}

bool RecorderModel::conflictAlert(ConflictBehavior behavior, std::string message, std::optional<std::string> informative) {
    switch (behavior) {
    case ConflictBehavior::allow:
        return true;
    case ConflictBehavior::block:
        runAlert(Alert{std::move(message), std::move(informative), {}});
        return false;
    case ConflictBehavior::warn: {
        const auto response =
            runAlert(Alert{std::move(message), std::move(informative), {recorderText("ok"), recorderText("force_use_shortcut")}});
        return response == 1;
    }
    }
    return false;
}

void RecorderModel::accept(const Shortcut& shortcut) {
    if (mode_ == StorageMode::binding) {
        binding_ = shortcut;
    } else {
        shortcuts_.setShortcut(shortcut, name_);
    }
    std::weak_ptr<bool> alive = alive_;
    if (onChange) onChange(shortcut);
    if (alive.expired()) return;
    view.refresh();
    view.resignFocus();
}

std::optional<LocalEvent> RecorderModel::handle(const LocalEvent& event) {
    if (event.type != LocalEventType::keyDown) {
        const Rect bounds = view.globalBounds();
        const Rect near(bounds.minX() - 3, bounds.minY() - 3, bounds.width() + 6, bounds.height() + 6);
        if (!near.contains(event.location)) view.resignFocus();
        return event;
    }
    const std::int64_t held = event.carbonModifiers & carbon::modifierBits;
    if (held == 0) {
        if (event.keySymbol == kTab) {
            view.resignFocus();
            return event;
        }
        const bool deleteKey = event.keySymbol == kBackSpace || event.keySymbol == kDelete ||
                               event.keySymbol == kKeypadDelete ||
                               event.carbonKeyCode == Key::delete_.rawValue ||
                               event.carbonKeyCode == Key::deleteForward.rawValue;
        if (deleteKey) {
            if (showsClearButton()) clear();
            return std::nullopt;
        }
        if (event.carbonKeyCode == Key::escape.rawValue) {
            view.resignFocus();
            return std::nullopt;
        }
    }
    const bool realModifier = held & (carbon::controlKey | carbon::optionKey | carbon::cmdKey);
    // F21 and beyond have no Carbon code: nothing to store them as.
    if ((!realModifier && !functionKeys().count(event.keySymbol)) || !event.carbonKeyCode) {
        view.beep();
        return std::nullopt;
    }
    const auto candidate = Shortcut::fromEvent(event);
    if (!candidate) return std::nullopt;
    const Shortcut shortcut = *candidate;
    std::weak_ptr<bool> alive = alive_;

    if (menuItemUsing && shortcut != currentShortcut()) {
        if (const auto title = menuItemUsing(shortcut)) {
            std::string message = recorderText("keyboard_shortcut_used_by_menu_item");
            message.replace(message.find("%s"), 2, *title);
            if (!conflictAlert(conflictPolicy.menuItem, message, std::nullopt)) return std::nullopt;
            if (alive.expired()) return std::nullopt;
        }
    }
    if (conflictPolicy.disallowed != ConflictBehavior::allow && shortcuts_.isDisallowed(shortcut)) {
        runAlert(Alert{recorderText("keyboard_shortcut_disallowed"), std::nullopt, {}});
        return std::nullopt;
    }
    if (shortcuts_.isTakenBySystem(shortcut)) {
        if (!conflictAlert(conflictPolicy.systemShortcut, recorderText("keyboard_shortcut_used_by_system"),
                           recorderText("keyboard_shortcuts_can_be_changed"))) {
            return std::nullopt;
        }
        if (alive.expired()) return std::nullopt;
    }
    if (validateShortcut) {
        const ValidationResult result = validateShortcut(shortcut);
        if (alive.expired()) return std::nullopt;
        if (result.kind == ValidationKind::disallow) {
            runAlert(Alert{result.reason, std::nullopt, {}});
            return std::nullopt;
        }
    }
    accept(shortcut);
    return std::nullopt;
}

}  // namespace tessary
