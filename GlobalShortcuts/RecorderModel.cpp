#include "GlobalShortcuts/RecorderModel.h"

#include "GlobalShortcuts/Utilities.h"
#include "Platform/CarbonModifiers.h"

#include <map>

namespace tessary {

namespace {

constexpr std::uint32_t kTab = 0xff09, kLeftTab = 0xfe20, kBackSpace = 0xff08, kDelete = 0xffff,
                        kKeypadDelete = 0xff9f;

// Whether a key is a modifier, lock or group key, and the modifier it holds (0 for the lock and
// group keys and AltGr, which no shortcut carries). X sends such a key's own press before the
// key it modifies, and Qt reports it with its own modifier already set: taken as a shortcut's
// key it would store the Control key itself.
std::optional<std::int64_t> modifierKeyBit(const LocalEvent& event) {
    const std::uint32_t symbol = event.keySymbol;
    if (symbol >= 0xffe1 && symbol <= 0xffee) {  // Shift_L .. Hyper_R
        switch (symbol) {
        case 0xffe1: case 0xffe2: return carbon::shiftKey;
        case 0xffe3: case 0xffe4: return carbon::controlKey;
        case 0xffe7: case 0xffe8: case 0xffe9: case 0xffea: return carbon::optionKey;  // Meta, Alt
        case 0xffeb: case 0xffec: case 0xffed: case 0xffee: return carbon::cmdKey;     // Super, Hyper
        default: return 0;                                                              // the locks
        }
    }
    // ISO_Lock .. ISO_Last_Group_Lock (AltGr, group switches), Mode_switch, Num_Lock.
    if ((symbol >= 0xfe01 && symbol <= 0xfe0f) || symbol == 0xff7e || symbol == 0xff7f) return 0;
    // Without a key symbol, the key's Carbon code names the modifier keys.
    if (!event.carbonKeyCode) return std::nullopt;
    switch (*event.carbonKeyCode) {
    case 54: case 55: return carbon::cmdKey;
    case 56: case 60: return carbon::shiftKey;
    case 58: case 61: return carbon::optionKey;
    case 59: case 62: return carbon::controlKey;
    case 57: case 63: return 0;
    default: return std::nullopt;
    }
}

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
        {"keyboard_shortcut_used_by_own_shortcut", "Tessary already uses this shortcut for “%s”."},
        {"keyboard_shortcut_used_here_instead", "Use it here instead? “%s” is then left without a shortcut."},
        {"another_own_shortcut", "another of its shortcuts"},
        {"cancel", "Cancel"},
        {"use_here", "Use Here"},
        {"key_not_recordable",
         "This key cannot be part of a global shortcut: the desktop gives shortcuts no way to name it. Choose "
         "another key."},
        {"needs_modifier", "Add Ctrl, Alt or Super"},
        {"held_by_another_program", "Held by another program, such as the window manager. Record another combination."},
        {"not_typable", "This keyboard cannot type this combination. Record another combination."},
        // The alerts' window title: the program's name, whatever name the process was given.
        {"alert_title", "Tessary"},
    };
    return table;
}

// Key releases too: letting go of the modifiers typed so far shows the old shortcut again.
constexpr LocalEventMask kRecordedEvents = localEventBit(LocalEventType::keyDown) |
                                           localEventBit(LocalEventType::keyUp) |
                                           localEventBit(LocalEventType::leftMouseUp) |
                                           localEventBit(LocalEventType::rightMouseUp);

}  // namespace

std::string recorderText(std::string_view key) {
    auto it = texts().find(key);
    return it == texts().end() ? std::string(key) : std::string(it->second);
}

namespace {

// A text of the table with its one "%s" filled in.
std::string recorderText(std::string_view key, const std::string& argument) {
    std::string text = tessary::recorderText(key);
    if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

}  // namespace

RecorderModel::RecorderModel(GlobalShortcuts& shortcuts, GlobalShortcuts::Name name, ChangeHandler change)
    : onChange(std::move(change)),
      shortcuts_(shortcuts),
      mode_(StorageMode::name),
      name_(std::move(name)),
      monitor_(shortcuts.localEvents(), kRecordedEvents, [this](const LocalEvent& event) { return handle(event); }) {
    nameChanges_ = shortcuts_.shortcutByNameDidChange.subscribe([this](const GlobalShortcuts::Name& changed) {
        if (changed.rawValue == name_.rawValue) view.refresh();
    });
    refusals_ = shortcuts_.refusalDidChange.subscribe([this](const GlobalShortcuts::Name& changed) {
        if (changed.rawValue == name_.rawValue) view.refresh();
    });
}

RecorderModel::RecorderModel(GlobalShortcuts& shortcuts, std::optional<Shortcut> binding, ChangeHandler change)
    : onChange(std::move(change)),
      shortcuts_(shortcuts),
      mode_(StorageMode::binding),
      binding_(binding),
      monitor_(shortcuts.localEvents(), kRecordedEvents, [this](const LocalEvent& event) { return handle(event); }) {}

RecorderModel::~RecorderModel() {
    *alive_ = false;
    // Lifting the pause below tries refused shortcuts again: what that tells is for the living.
    nameChanges_.reset();
    refusals_.reset();
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

std::string RecorderModel::shownText() const {
    if (!isRecording()) return text();
    if (heldModifiers_) return modifierText(heldModifiers_) + "…";
    return hint_.empty() ? placeholder() : hint_;
}

std::string RecorderModel::problem() const {
    if (mode_ != StorageMode::name) return {};
    switch (shortcuts_.refusal(name_).value_or(HotKeyRefusal::unavailable)) {
    case HotKeyRefusal::heldByAnotherClient:
        return recorderText("held_by_another_program");
    case HotKeyRefusal::notRepresentable:
        return recorderText("not_typable");
    case HotKeyRefusal::unavailable:
        // No display: nothing works, and nothing the user records changes that.
        return {};
    }
    return {};
}

void RecorderModel::checkAgain() {
    if (mode_ == StorageMode::name) shortcuts_.retryRefused(name_);
}

std::string RecorderModel::placeholder() const {
    return recorderText(isRecording() ? "press_shortcut" : "record_shortcut");
}

void RecorderModel::startRecording() {
    if (isRecording()) return;
    heldModifiers_ = 0;
    hint_.clear();
    monitor_.start();
    shortcuts_.activeRecorder = this;
    shortcuts_.setPaused(true);
    shortcuts_.recorderActiveStatusDidChange.emit(true);
    view.refresh();
}

void RecorderModel::endRecording() {
    if (!isRecording()) return;
    monitor_.stop();
    heldModifiers_ = 0;
    hint_.clear();
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

bool RecorderModel::isNear(Point point) const {
    const Rect bounds = view.globalBounds();
    return Rect(bounds.minX() - 3, bounds.minY() - 3, bounds.width() + 6, bounds.height() + 6).contains(point);
}

void RecorderModel::showHeldModifiers(std::int64_t held) {
    if (held == heldModifiers_) return;
    heldModifiers_ = held;
    view.refresh();
}

void RecorderModel::showHint(std::string hint) {
    if (hint == hint_) return;
    hint_ = std::move(hint);
    view.refresh();
}

bool RecorderModel::ownShortcutAllows(const Shortcut& shortcut) {
    if (conflictPolicy.ownShortcut == ConflictBehavior::allow) return true;
    const std::vector<GlobalShortcuts::Name> others =
        shortcuts_.namesUsing(shortcut, mode_ == StorageMode::name ? &name_ : nullptr);
    if (others.empty()) return true;
    const std::string title =
        shortcuts_.nameTitle(others.front()).value_or(recorderText("another_own_shortcut"));
    Alert alert{recorderText("keyboard_shortcut_used_by_own_shortcut", title), std::nullopt, {}};
    if (conflictPolicy.ownShortcut == ConflictBehavior::block) {
        runAlert(alert);
        return false;
    }
    alert.informativeText = recorderText("keyboard_shortcut_used_here_instead", title);
    alert.buttons = {recorderText("cancel"), recorderText("use_here")};
    std::weak_ptr<bool> alive = alive_;
    if (runAlert(alert) != 1) return false;
    // Moved: the other names let go of it, so that one press acts once.
    for (const GlobalShortcuts::Name& other : others) shortcuts_.setShortcut(std::nullopt, other);
    return !alive.expired();
}

std::optional<LocalEvent> RecorderModel::handle(const LocalEvent& event) {
    if (event.type == LocalEventType::leftMouseUp || event.type == LocalEventType::rightMouseUp) {
        if (isNear(event.location)) {
            view.keepFocus();
        } else {
            view.resignFocus();
        }
        return event;
    }
    // A modifier's own press or release only shows what is held so far; the first other key ends
    // the recording with the modifiers held at that moment. The release may still report its own
    // modifier: it is let go all the same.
    if (const auto own = modifierKeyBit(event)) {
        const std::int64_t held = carbon::reduced(event.carbonModifiers) & ~carbon::functionKey;
        showHeldModifiers(event.type == LocalEventType::keyDown ? (held | *own) : (held & ~*own));
        return std::nullopt;
    }
    if (event.type != LocalEventType::keyDown) return event;
    showHeldModifiers(0);
    showHint({});
    const std::int64_t held = event.carbonModifiers & carbon::modifierBits;
    const bool tab = event.keySymbol == kTab || event.keySymbol == kLeftTab ||
                     (event.keySymbol == 0 && event.carbonKeyCode == Key::tab.rawValue);
    if (tab && (held & ~carbon::shiftKey) == 0) {
        // On through the recorders, as Tab moves through any form; Shift goes back.
        view.moveFocus(!(held & carbon::shiftKey));
        return std::nullopt;
    }
    if (held == 0) {
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
    // F21 and beyond, and keys only some keyboards have, have no code to be stored as: say so,
    // since pressing them again would change nothing.
    if (!event.carbonKeyCode) {
        runAlert(Alert{recorderText("key_not_recordable"), std::nullopt, {}});
        return std::nullopt;
    }
    const bool realModifier = held & (carbon::controlKey | carbon::optionKey | carbon::cmdKey);
    if (!realModifier && !functionKeys().count(event.keySymbol)) {
        view.beep();
        // A beep is silent on many desktops: the field says what is missing.
        showHint(recorderText("needs_modifier"));
        return std::nullopt;
    }
    const auto candidate = Shortcut::fromEvent(event);
    if (!candidate) return std::nullopt;
    const Shortcut shortcut = *candidate;
    std::weak_ptr<bool> alive = alive_;

    if (menuItemUsing && shortcut != currentShortcut()) {
        if (const auto title = menuItemUsing(shortcut)) {
            const std::string message = recorderText("keyboard_shortcut_used_by_menu_item", *title);
            if (!conflictAlert(conflictPolicy.menuItem, message, std::nullopt)) return std::nullopt;
            if (alive.expired()) return std::nullopt;
        }
    }
    if (!ownShortcutAllows(shortcut) || alive.expired()) return std::nullopt;
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
