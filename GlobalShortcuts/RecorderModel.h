#pragma once

// What a shortcut recorder decides, apart from its widget: where its shortcut lives (a name's
// stored shortcut, or a value its owner binds), what it shows, when it records, and what each key
// press or click while recording does: beep, clear, end, move on to the next recorder (Tab, Shift+
// Tab), explain a conflict in an alert, or take the press as the new shortcut. While recording it
// shows a prompt ("Press Shortcut") whatever it holds, so that a field holding a shortcut also says
// that typing now records; modifier keys alone are never a shortcut: their presses and releases
// only show what is held so far. In name mode it also says when the stored shortcut does not work
// (another program holds it), and asks the module to try it again when the widget is shown.
//
// While it records it pauses every hot key (so that an existing shortcut is recorded, not fired)
// and tells recorderActiveStatusDidChange; only the recorder that took the pause lifts it, and a
// recorder destroyed while recording ends its recording first. The widget supplies the View:
// beeps, alerts, focus and geometry. A View call may destroy the recorder (an alert's window closed
// under it): the model touches nothing of itself afterwards.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GlobalShortcuts/ConflictPolicy.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/LocalEventMonitor.h"

namespace tessary {

enum class ValidationKind { allow, disallow };
struct ValidationResult {
    ValidationKind kind = ValidationKind::allow;
    std::string reason;  // shown to the user when disallowed

    static ValidationResult allow() { return {}; }
    static ValidationResult disallow(std::string reason) { return {ValidationKind::disallow, std::move(reason)}; }
};

// The recorder's texts, by their keys.
std::string recorderText(std::string_view key);

class RecorderModel {
public:
    enum class StorageMode { name, binding };
    struct Alert {
        std::string message;
        std::optional<std::string> informativeText;
        // Empty: the one default button.
        std::vector<std::string> buttons;

        friend bool operator==(const Alert&, const Alert&) = default;
    };
    // What the widget does for the model.
    struct View {
        std::function<void()> beep = [] {};
        // Shows the alert modally; the index of the button that ended it (0 for the default one).
        std::function<int(const Alert&)> runAlert = [](const Alert&) { return 0; };
        // Gives up the keyboard focus (which ends the recording through endRecording()).
        std::function<void()> resignFocus = [] {};
        // Takes the focus back (which starts a recording).
        std::function<void()> takeFocus = [] {};
        // A click near enough to keep recording: a widget it landed on may have taken the focus.
        std::function<void()> keepFocus = [] {};
        // The widget's rectangle in global coordinates; a click within 3 pixels of it keeps recording.
        std::function<Rect()> globalBounds = [] { return Rect(); };
        // Moves the focus to the next (or previous) control, as Tab does; the recorder it reaches records.
        std::function<void(bool forward)> moveFocus = [](bool) {};
        // The text, the placeholder or the clear button changed.
        std::function<void()> refresh = [] {};
    };
    using ChangeHandler = std::function<void(std::optional<Shortcut>)>;

    // Name mode: the shortcut stored for the name.
    RecorderModel(GlobalShortcuts& shortcuts, GlobalShortcuts::Name name, ChangeHandler onChange = nullptr);
    // Binding mode: the owner's value, told through onChange only.
    RecorderModel(GlobalShortcuts& shortcuts, std::optional<Shortcut> binding, ChangeHandler onChange = nullptr);
    ~RecorderModel();
    RecorderModel(const RecorderModel&) = delete;
    RecorderModel& operator=(const RecorderModel&) = delete;

    View view;
    ChangeHandler onChange;
    std::function<ValidationResult(const Shortcut&)> validateShortcut;
    ConflictPolicy conflictPolicy = ConflictPolicy::standard;
    // The title of the program's menu item that uses the shortcut, if any (the menu search).
    std::function<std::optional<std::string>(const Shortcut&)> menuItemUsing;

    StorageMode storageMode() const { return mode_; }
    const GlobalShortcuts::Name& shortcutName() const { return name_; }
    void setShortcutName(GlobalShortcuts::Name name);
    std::optional<Shortcut> currentShortcut() const;
    // Stores without telling onChange; nothing when unchanged.
    void setCurrentShortcut(std::optional<Shortcut> shortcut);

    std::string text() const;
    // What the field shows: while recording the modifiers held so far ("Ctrl+Alt+…"), or why the
    // last key was refused, or the prompt; else text().
    std::string shownText() const;
    // Whether shownText() is the user's own keys (held modifiers or the shortcut), not a prompt.
    bool showsKeys() const { return !isRecording() || heldModifiers_ != 0; }
    std::string placeholder() const;
    bool showsClearButton() const { return !text().empty(); }
    bool isRecording() const { return monitor_.isStarted(); }
    // Name mode: why the stored shortcut does not work, as the user is told; empty while it works
    // (or no hot key is wanted for it yet).
    std::string problem() const;
    // Asks the module to try the refused shortcut again (the user came to look at it).
    void checkAgain();

    void startRecording();
    void endRecording();
    // The clear button, or Delete while a shortcut is shown: removes it, tells onChange, and keeps
    // (or starts) recording for the replacement.
    void clear();
    // One event of the program while recording: passed on (returned) or consumed.
    std::optional<LocalEvent> handle(const LocalEvent& event);
    // Whether a click there keeps the recording: within 3 pixels of the widget.
    bool isNear(Point point) const;

private:
    // Shows a conflict; whether the shortcut may be used anyway.
    bool conflictAlert(ConflictBehavior behavior, std::string message, std::optional<std::string> informative);
    // Ends the recording, shows the alert and records afresh; nothing when the recorder died meanwhile.
    std::optional<int> runAlert(const Alert& alert);
    void accept(const Shortcut& shortcut);
    void showHeldModifiers(std::int64_t held);
    void showHint(std::string hint);
    // The check against the program's other names; false when the shortcut must not be taken.
    bool ownShortcutAllows(const Shortcut& shortcut);

    GlobalShortcuts& shortcuts_;
    StorageMode mode_;
    GlobalShortcuts::Name name_;
    std::optional<Shortcut> binding_;
    LocalEventMonitor monitor_;
    // The modifiers held while recording, before any other key.
    std::int64_t heldModifiers_ = 0;
    // Why the last key was refused, shown until the next one.
    std::string hint_;
    Subscription nameChanges_;
    Subscription refusals_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tessary
