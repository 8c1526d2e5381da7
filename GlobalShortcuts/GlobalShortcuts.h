#pragma once

// The global shortcut module: named shortcuts kept in user defaults, their hot keys, and the
// handlers and streams that hear them. The program makes one GlobalShortcuts at start-up and hands
// it to whatever binds or records shortcuts (each test makes its own); everything the module keeps
// besides the stored values (registered hot keys, disabled names, handlers, open streams) lives in
// that object and is never persisted.
//
// Storage: one entry per name, "GlobalShortcuts_" + the name: the shortcut's JSON text, the Boolean
// false (the user cleared a name that has a default: the default must not come back), or nothing.
// A name's default is stored, when the entry is empty, the first time the module is given the name.
// Writers that change nothing post nothing; the others unregister the old hot key (unless another
// name still uses it), write, register again, then post shortcutByNameDidChange.
//
// Hot keys: a name has one while it has a handler or an open stream, is not disabled and stores a
// shortcut; names storing the same shortcut share one hot key and one press runs them all. A
// combination the platform refuses is logged once per name and shortcut; the stored value stays,
// isActive() answers false and refusal() says why, so that whatever shows the shortcut can say it
// does not work. Refused names are tried again when a recording ends, when the keyboard changes and
// when asked (retryRefused): the other program may have let go meanwhile. X11 tells no one when a
// grab ends, so while another program holds a name's combination the module also tries again by
// itself: a second later, then twice as late each time, at most every few seconds, so that the
// combination is taken up within seconds of being let go; nothing is scheduled while no name is
// held, or while the module is paused or switched off (nothing could fire). Dispatch runs over a
// snapshot: a handler may add or remove handlers, change shortcuts or end streams while it runs;
// what was removed before its turn does not run.
//
// Main loop only; every delay (key repeat) through the Scheduler.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "GlobalShortcuts/ConflictPolicy.h"
#include "GlobalShortcuts/HotKeyCenter.h"
#include "GlobalShortcuts/KeyEventStream.h"
#include "GlobalShortcuts/Shortcut.h"
#include "GlobalShortcuts/ShortcutName.h"
#include "Platform/HotKeys.h"
#include "Platform/KeyboardLayout.h"
#include "Platform/LocalEvents.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "Platform/UserDefaults.h"

namespace tessary {

class GlobalShortcuts {
public:
    using Name = ShortcutName;
    enum class EventType { keyDown, keyUp };

    // What an entry holds.
    struct NothingStored {
        friend bool operator==(NothingStored, NothingStored) { return true; }
    };
    struct Disabled {
        friend bool operator==(Disabled, Disabled) { return true; }
    };
    using StoredShortcut = std::variant<NothingStored, Disabled, Shortcut>;

    struct Dependencies {
        UserDefaults& defaults;
        HotKeys& hotKeys;
        KeyboardLayout& keyboard;
        LocalEvents& localEvents;
        Scheduler& scheduler;
    };

    static constexpr std::string_view keyPrefix = "GlobalShortcuts_";
    // How soon a combination another program holds is tried again, and the longest wait between
    // two tries.
    static constexpr std::chrono::milliseconds firstHeldRetry{1000};
    static constexpr std::chrono::milliseconds longestHeldRetry{4000};

    explicit GlobalShortcuts(Dependencies dependencies);
    ~GlobalShortcuts();
    GlobalShortcuts(const GlobalShortcuts&) = delete;
    GlobalShortcuts& operator=(const GlobalShortcuts&) = delete;

    // --- Names and storage -------------------------------------------------------------------------
    // Makes a name and stores its default when the entry is empty (no notice, no hot key).
    Name name(std::string rawValue, std::optional<Shortcut> initialShortcut = std::nullopt);
    std::optional<Shortcut> getShortcut(const Name& name);
    StoredShortcut storedShortcut(const Name& name);
    // Stores the shortcut, or removes it (none): false for a name with a default, no entry without.
    void setShortcut(std::optional<Shortcut> shortcut, const Name& name);
    // Puts each name back to its default (or to no entry), posting for each.
    void reset(const std::vector<Name>& names);
    void removeAllShortcuts();
    std::set<Name> storedNames() const;
    void storeDefaultIfAbsent(const Shortcut& shortcut, const Name& name);

    // --- Handlers and hot keys ---------------------------------------------------------------------
    void onKeyDown(const Name& name, std::function<void()> action);
    void onKeyUp(const Name& name, std::function<void()> action);
    void removeHandler(const Name& name);
    void removeAllHandlers();
    void disable(const std::vector<Name>& names);
    void enable(const std::vector<Name>& names);
    // Enabled, with handlers, storing a shortcut whose hot key is registered.
    bool isActive(const Name& name);
    bool hasActiveHandlers(const Name& name) const;

    bool isEnabled() const { return isEnabled_; }
    void setEnabled(bool enabled);
    // True while a recorder records: every hot key is given up and nothing runs.
    bool isPaused() const { return isPaused_; }
    void setPaused(bool paused);

    void registerShortcut(const Shortcut& shortcut);
    void registerShortcutIfNeeded(const Name& name);
    void unregisterShortcut(const Shortcut& shortcut);
    // Whether an enabled name with handlers other than `leaveOut`, or a stream on the shortcut
    // itself, uses the shortcut.
    bool isShortcutUsedByOtherName(const Shortcut& shortcut, const Name* leaveOut = nullptr);
    bool isRegistered(const Shortcut& shortcut) const { return registeredShortcuts_.count(shortcut) != 0; }
    void dispatchShortcutEvent(EventType type, const Shortcut& shortcut);

    // --- Live state ---------------------------------------------------------------------------------
    // Why a name that needs a hot key (enabled, with handlers, storing a shortcut) has none, as the
    // last attempt found; nothing while it has one or needs none.
    std::optional<HotKeyRefusal> refusal(const Name& name);
    bool isHeldByAnotherProgram(const Name& name) { return refusal(name) == HotKeyRefusal::heldByAnotherClient; }
    // Tries the refused names (or one name) again.
    void retryRefused();
    void retryRefused(const Name& name);
    // Every name whose stored shortcut is this one, but `leaveOut`, by raw value; each with its
    // default when the module was given it.
    std::vector<Name> namesUsing(const Shortcut& shortcut, const Name* leaveOut = nullptr);
    // What the user calls a name ("Zone 3"), for messages that name it; set by the program.
    std::function<std::optional<std::string>(const Name&)> nameTitle = [](const Name&) { return std::nullopt; };

    // --- Streams ------------------------------------------------------------------------------------
    [[nodiscard]] KeyEventStream events(const Name& name, std::function<void(EventType)> consumer);
    [[nodiscard]] KeyEventStream events(const Shortcut& shortcut, std::function<void(EventType)> consumer);
    [[nodiscard]] KeyEventStream events(EventType type, const Name& name, std::function<void()> consumer);
    [[nodiscard]] KeyEventStream events(EventType type, const Shortcut& shortcut, std::function<void()> consumer);
    // A tick at key-down, the next one repeat-delay later, then one per repeat interval while the
    // key is held, the shortcut unchanged, the module neither paused nor disabled and the hot key
    // registered; a new key-down starts over. The timing is read once, here.
    [[nodiscard]] RepeatingKeyDownStream repeatingKeyDownEvents(const Name& name, std::function<void()> tick);
    [[nodiscard]] RepeatingKeyDownStream repeatingKeyDownEvents(const Shortcut& shortcut, std::function<void()> tick);

    // --- Texts and conflicts -------------------------------------------------------------------------
    std::string description(const Shortcut& shortcut) const { return shortcut.description(keyboard_); }
    std::optional<std::string> keyToCharacter(const Shortcut& shortcut) const {
        return shortcut.keyToCharacter(keyboard_);
    }
    // The desktop's reserved shortcuts (none on X11, which keeps no list of other programs' grabs).
    std::vector<Shortcut> reservedBySystem() const;
    // Reserved, or held by another program now; F12 alone never is.
    bool isTakenBySystem(const Shortcut& shortcut);
    // The platform rule on Alt-only shortcuts, with the version and sandbox readers below.
    bool isDisallowed(const Shortcut& shortcut) const;
    std::function<OperatingSystemVersion()> operatingSystemVersion = [] { return OperatingSystemVersion{}; };
    bool sandboxed = isSandboxed();

    // --- Notices ---------------------------------------------------------------------------------------
    // A writer changed a name's stored shortcut (the name as the writer was given it).
    Signal<const Name&> shortcutByNameDidChange;
    // A recorder started (true) or stopped (false) recording.
    Signal<bool> recorderActiveStatusDidChange;
    // A name's refusal() came, went or changed.
    Signal<const Name&> refusalDidChange;

    // The recorder that owns the pause while it records; only it may lift the pause.
    const void* activeRecorder = nullptr;

    HotKeyCenter& hotKeyCenter() { return center_; }
    KeyboardLayout& keyboard() { return keyboard_; }
    LocalEvents& localEvents() { return localEvents_; }

private:
    struct Handler {
        std::function<void()> action;
        bool removed = false;
    };
    struct HandlerList {
        Name name;
        std::vector<std::shared_ptr<Handler>> handlers;
    };
    struct StreamSink {
        std::function<void(EventType)> deliver;
        bool ended = false;
    };
    struct NameStreams {
        Name name;
        std::map<std::uint64_t, std::shared_ptr<StreamSink>> sinks;
    };

    std::string storageKey(const Name& name) const;
    void introduce(const Name& name);
    bool hasHandlers(const std::string& raw) const;
    bool isDisabled(const std::string& raw) const { return disabledNames_.count(raw) != 0; }
    void unregisterOldShortcut(const Name& name);
    void addHandler(std::map<std::string, HandlerList>& table, const Name& name, std::function<void()> action);
    std::optional<HotKeyRefusal> tryRegister(const Shortcut& shortcut);
    void reportRefusal(const Name* name, const Shortcut& shortcut, HotKeyRefusal refusal);
    void noteRefusal(const Name& name, const Shortcut& shortcut, HotKeyRefusal refusal);
    void forgetRefusal(const Name& name);
    // Schedules the next try of the held names, or cancels it when none is held or nothing could fire.
    void followHeldNames();
    void retryHeldNames();
    // The enabled names with handlers that store the shortcut.
    std::vector<Name> namesNeeding(const Shortcut& shortcut);
    void syncCenter();
    void endNameStream(const std::string& raw, std::uint64_t id);
    void endShortcutStream(const Shortcut& shortcut, std::uint64_t id);
    RepeatingKeyDownStream makeRepeating(std::optional<Name> name, std::optional<Shortcut> shortcut,
                                         std::function<void()> tick);

    UserDefaults& defaults_;
    KeyboardLayout& keyboard_;
    LocalEvents& localEvents_;
    Scheduler& scheduler_;
    Logger log_{"GlobalShortcuts"};
    // Declared before the hot keys it outlives.
    HotKeyCenter center_;
    std::map<Shortcut, std::shared_ptr<HotKey>> registeredShortcuts_;
    std::set<std::string> disabledNames_;
    std::map<std::string, HandlerList> keyDownHandlers_;
    std::map<std::string, HandlerList> keyUpHandlers_;
    std::map<std::string, NameStreams> nameStreams_;
    std::map<Shortcut, std::map<std::uint64_t, std::shared_ptr<StreamSink>>> shortcutStreams_;
    std::uint64_t nextStreamID_ = 0;
    std::set<std::string> introduced_;
    // The names given with a default, by raw value: clearing one of them stores the Boolean false.
    std::map<std::string, Name> namesWithDefaults_;
    std::set<std::pair<std::string, Shortcut>> reportedRefusals_;
    struct Refused {
        Name name;
        Shortcut shortcut;
        HotKeyRefusal refusal;
    };
    std::map<std::string, Refused> refused_;
    ScheduledTask heldRetry_;
    Scheduler::Duration heldRetryDelay_ = firstHeldRetry;
    Subscription keyboardChange_;
    bool isEnabled_ = true;
    bool isPaused_ = false;
    // Lets stream handles that outlive the module do nothing.
    std::shared_ptr<GlobalShortcuts*> self_;

    friend class RepeatingKeyDownStream;
};

}  // namespace tessary
