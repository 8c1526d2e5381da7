#include "GlobalShortcuts/GlobalShortcuts.h"

#include <algorithm>

#include "Platform/CarbonModifiers.h"

namespace tessary {

GlobalShortcuts::GlobalShortcuts(Dependencies d)
    : defaults_(d.defaults),
      keyboard_(d.keyboard),
      localEvents_(d.localEvents),
      scheduler_(d.scheduler),
      center_(d.hotKeys, d.localEvents),
      self_(std::make_shared<GlobalShortcuts*>(this)) {
    // A new layout may have freed a combination, or made it typable.
    keyboardChange_ = keyboard_.onChange([this] { retryRefused(); });
}

GlobalShortcuts::~GlobalShortcuts() {
    *self_ = nullptr;
    scheduler_.cancel(heldRetry_);
    // Hot keys give up their registrations through the centre, which must still be there.
    registeredShortcuts_.clear();
}

// --- Names and storage ------------------------------------------------------------------------------

std::string GlobalShortcuts::storageKey(const Name& name) const {
    return std::string(keyPrefix) + name.rawValue;
}

void GlobalShortcuts::introduce(const Name& name) {
    if (!name.initialShortcut || introduced_.count(name.rawValue)) return;
    introduced_.insert(name.rawValue);
    namesWithDefaults_.insert_or_assign(name.rawValue, name);
    storeDefaultIfAbsent(*name.initialShortcut, name);
}

GlobalShortcuts::Name GlobalShortcuts::name(std::string rawValue, std::optional<Shortcut> initialShortcut) {
    Name made(std::move(rawValue), initialShortcut);
    introduce(made);
    return made;
}

void GlobalShortcuts::storeDefaultIfAbsent(const Shortcut& shortcut, const Name& name) {
    const std::string key = storageKey(name);
    // Anything stored counts, the Boolean false and unreadable text included.
    if (defaults_.contains(key)) return;
    const std::string text = shortcut.storedText();
    if (!UserDefaults::isStorable(key, text)) return;
    defaults_.set(key, text);
}

GlobalShortcuts::StoredShortcut GlobalShortcuts::storedShortcut(const Name& name) {
    introduce(name);
    const auto value = defaults_.object(storageKey(name));
    if (!value) return NothingStored{};
    if (const bool* flag = std::get_if<bool>(&*value); flag && !*flag) return Disabled{};
    if (const auto* text = std::get_if<std::string>(&*value)) {
        if (auto shortcut = Shortcut::fromStoredText(*text)) return *shortcut;
    }
    return NothingStored{};
}

std::optional<Shortcut> GlobalShortcuts::getShortcut(const Name& name) {
    StoredShortcut stored = storedShortcut(name);
    if (const auto* shortcut = std::get_if<Shortcut>(&stored)) return *shortcut;
    return std::nullopt;
}

void GlobalShortcuts::unregisterOldShortcut(const Name& name) {
    if (auto old = getShortcut(name); old && !isShortcutUsedByOtherName(*old, &name)) unregisterShortcut(*old);
}

void GlobalShortcuts::setShortcut(std::optional<Shortcut> shortcut, const Name& name) {
    introduce(name);
    const std::string key = storageKey(name);
    if (shortcut) {
        const std::string text = shortcut->storedText();
        if (!UserDefaults::isStorable(key, text)) return;
        unregisterOldShortcut(name);
        defaults_.set(key, text);
    } else if (name.initialShortcut) {
        if (defaults_.boolValue(key) == false || !UserDefaults::isStorable(key, false)) return;
        unregisterOldShortcut(name);
        defaults_.set(key, false);
    } else {
        if (!defaults_.contains(key)) return;
        unregisterOldShortcut(name);
        defaults_.remove(key);
    }
    registerShortcutIfNeeded(name);
    shortcutByNameDidChange.emit(name);
}

void GlobalShortcuts::reset(const std::vector<Name>& names) {
    for (const Name& name : names) {
        const std::string key = storageKey(name);
        if (!name.initialShortcut) {
            if (!defaults_.contains(key)) continue;
            unregisterOldShortcut(name);
            defaults_.remove(key);
        } else {
            const std::string text = name.initialShortcut->storedText();
            if (!UserDefaults::isStorable(key, text)) continue;
            introduced_.insert(name.rawValue);
            namesWithDefaults_.insert_or_assign(name.rawValue, name);
            unregisterOldShortcut(name);
            defaults_.set(key, text);
        }
        registerShortcutIfNeeded(name);
        shortcutByNameDidChange.emit(name);
    }
}

std::set<GlobalShortcuts::Name> GlobalShortcuts::storedNames() const {
    std::set<Name> names;
    for (const std::string& key : defaults_.keys()) {
        if (key.compare(0, keyPrefix.size(), keyPrefix) == 0) names.insert(Name(key.substr(keyPrefix.size())));
    }
    return names;
}

void GlobalShortcuts::removeAllShortcuts() {
    for (const Name& name : storedNames()) {
        if (!defaults_.contains(storageKey(name))) continue;
        unregisterOldShortcut(name);
        defaults_.remove(storageKey(name));
        registerShortcutIfNeeded(name);
        shortcutByNameDidChange.emit(name);
    }
}

// --- Handlers and hot keys -------------------------------------------------------------------------

bool GlobalShortcuts::hasHandlers(const std::string& raw) const {
    return keyDownHandlers_.count(raw) || keyUpHandlers_.count(raw) || nameStreams_.count(raw);
}

bool GlobalShortcuts::hasActiveHandlers(const Name& name) const {
    return !isDisabled(name.rawValue) && hasHandlers(name.rawValue);
}

bool GlobalShortcuts::isActive(const Name& name) {
    if (!isEnabled_ || !hasActiveHandlers(name)) return false;
    const auto shortcut = getShortcut(name);
    return shortcut && isRegistered(*shortcut);
}

void GlobalShortcuts::addHandler(std::map<std::string, HandlerList>& table, const Name& name,
                                 std::function<void()> action) {
    introduce(name);
    HandlerList& list = table.try_emplace(name.rawValue, HandlerList{name, {}}).first->second;
    list.handlers.push_back(std::make_shared<Handler>(Handler{std::move(action)}));
    registerShortcutIfNeeded(name);
}

void GlobalShortcuts::onKeyDown(const Name& name, std::function<void()> action) {
    addHandler(keyDownHandlers_, name, std::move(action));
}

void GlobalShortcuts::onKeyUp(const Name& name, std::function<void()> action) {
    addHandler(keyUpHandlers_, name, std::move(action));
}

void GlobalShortcuts::removeHandler(const Name& name) {
    for (auto* table : {&keyDownHandlers_, &keyUpHandlers_}) {
        if (auto it = table->find(name.rawValue); it != table->end()) {
            for (auto& handler : it->second.handlers) handler->removed = true;
            table->erase(it);
        }
    }
    if (!isDisabled(name.rawValue) && nameStreams_.count(name.rawValue)) return;
    forgetRefusal(name);
    unregisterOldShortcut(name);
}

void GlobalShortcuts::removeAllHandlers() {
    std::set<Shortcut> shortcuts;
    std::vector<Name> names;
    for (auto* table : {&keyDownHandlers_, &keyUpHandlers_}) {
        for (auto& [raw, list] : *table) {
            for (auto& handler : list.handlers) handler->removed = true;
            if (auto shortcut = getShortcut(list.name)) shortcuts.insert(*shortcut);
            names.push_back(list.name);
        }
        table->clear();
    }
    for (const Name& name : names) {
        if (!hasHandlers(name.rawValue)) forgetRefusal(name);
    }
    for (const Shortcut& shortcut : shortcuts) {
        if (!isShortcutUsedByOtherName(shortcut)) unregisterShortcut(shortcut);
    }
}

void GlobalShortcuts::disable(const std::vector<Name>& names) {
    for (const Name& name : names) {
        disabledNames_.insert(name.rawValue);
        forgetRefusal(name);
        unregisterOldShortcut(name);
    }
}

void GlobalShortcuts::enable(const std::vector<Name>& names) {
    for (const Name& name : names) {
        disabledNames_.erase(name.rawValue);
        registerShortcutIfNeeded(name);
    }
}

void GlobalShortcuts::setEnabled(bool enabled) {
    if (enabled == isEnabled_) return;
    isEnabled_ = enabled;
    syncCenter();
    followHeldNames();
}

void GlobalShortcuts::setPaused(bool paused) {
    if (paused == isPaused_) return;
    isPaused_ = paused;
    syncCenter();
    // A recording has ended: the user may have freed a combination elsewhere meanwhile.
    if (!paused) retryRefused();
    followHeldNames();
}

void GlobalShortcuts::syncCenter() {
    const bool enabled = isEnabled_ && !isPaused_;
    if (center_.isEnabled() == enabled) return;
    center_.setEnabled(enabled);
    center_.updateMode();
}

std::optional<HotKeyRefusal> GlobalShortcuts::tryRegister(const Shortcut& shortcut) {
    if (registeredShortcuts_.count(shortcut)) return std::nullopt;
    auto hotKey = std::make_shared<HotKey>(
        center_, shortcut.carbonKeyCode, shortcut.carbonModifiers,
        [this, shortcut] { dispatchShortcutEvent(EventType::keyDown, shortcut); },
        [this, shortcut] { dispatchShortcutEvent(EventType::keyUp, shortcut); });
    if (auto registered = center_.registerHotKey(hotKey); !registered) return registered.error();
    std::weak_ptr<HotKey> weak = hotKey;
    hotKey->onRegistrationFailed = [this, weak, shortcut](HotKeyRefusal refusal) {
        auto lost = weak.lock();
        auto it = registeredShortcuts_.find(shortcut);
        if (!lost || it == registeredShortcuts_.end() || it->second != lost) return;
        log_.error("the hot key " + description(shortcut) + " could not be taken again (" +
                   std::string(hotKeyRefusalText(refusal)) + "); it no longer works");
        registeredShortcuts_.erase(it);
        for (const Name& name : namesNeeding(shortcut)) {
            reportedRefusals_.insert({name.rawValue, shortcut});
            noteRefusal(name, shortcut, refusal);
        }
    };
    registeredShortcuts_.emplace(shortcut, std::move(hotKey));
    return std::nullopt;
}

void GlobalShortcuts::reportRefusal(const Name* name, const Shortcut& shortcut, HotKeyRefusal refusal) {
    const std::string raw = name ? name->rawValue : std::string();
    if (!reportedRefusals_.insert({raw, shortcut}).second) return;
    const std::string subject =
        name ? "“" + name->rawValue + "” (" + description(shortcut) + ")" : "the shortcut " + description(shortcut);
    log_.error(subject + " is not active: " + std::string(hotKeyRefusalText(refusal)));
}

void GlobalShortcuts::registerShortcut(const Shortcut& shortcut) {
    if (auto refusal = tryRegister(shortcut)) reportRefusal(nullptr, shortcut, *refusal);
}

void GlobalShortcuts::registerShortcutIfNeeded(const Name& name) {
    const auto shortcut = isDisabled(name.rawValue) || !hasHandlers(name.rawValue) ? std::nullopt : getShortcut(name);
    if (!shortcut) {
        forgetRefusal(name);
        return;
    }
    const bool wasHeld = isHeldByAnotherProgram(name);
    if (auto refusal = tryRegister(*shortcut)) {
        reportRefusal(&name, *shortcut, *refusal);
        noteRefusal(name, *shortcut, *refusal);
    } else {
        reportedRefusals_.erase({name.rawValue, *shortcut});
        if (wasHeld) {
            log_.info("“" + name.rawValue + "” (" + description(*shortcut) + ") is active now: no other program holds it");
        }
        forgetRefusal(name);
    }
}

void GlobalShortcuts::noteRefusal(const Name& name, const Shortcut& shortcut, HotKeyRefusal refusal) {
    auto it = refused_.find(name.rawValue);
    if (it != refused_.end() && it->second.shortcut == shortcut && it->second.refusal == refusal) return;
    refused_.insert_or_assign(name.rawValue, Refused{name, shortcut, refusal});
    refusalDidChange.emit(name);
    followHeldNames();
}

void GlobalShortcuts::forgetRefusal(const Name& name) {
    auto it = refused_.find(name.rawValue);
    if (it == refused_.end()) return;
    refused_.erase(it);
    refusalDidChange.emit(name);
    followHeldNames();
}

void GlobalShortcuts::followHeldNames() {
    bool held = false;
    if (isEnabled_ && !isPaused_) {
        std::vector<Name> names;
        for (const auto& [raw, refused] : refused_) names.push_back(refused.name);
        for (const Name& name : names) held = held || isHeldByAnotherProgram(name);
    }
    if (!held) {
        scheduler_.cancel(heldRetry_);
        heldRetry_ = {};
        heldRetryDelay_ = firstHeldRetry;
        return;
    }
    if (!heldRetry_) heldRetry_ = scheduler_.schedule(heldRetryDelay_, [this] { retryHeldNames(); });
}

void GlobalShortcuts::retryHeldNames() {
    heldRetry_ = {};
    // Set before the try: a refusal noted on the way schedules the next one already.
    heldRetryDelay_ = std::min<Scheduler::Duration>(heldRetryDelay_ * 2, longestHeldRetry);
    retryRefused();
    followHeldNames();
}

std::optional<HotKeyRefusal> GlobalShortcuts::refusal(const Name& name) {
    auto it = refused_.find(name.rawValue);
    if (it == refused_.end() || isDisabled(name.rawValue) || !hasHandlers(name.rawValue)) return std::nullopt;
    // Stored over by hand, or the refused value is already gone.
    if (getShortcut(name) != it->second.shortcut) return std::nullopt;
    return it->second.refusal;
}

void GlobalShortcuts::retryRefused() {
    std::vector<Name> names;
    for (const auto& [raw, refused] : refused_) names.push_back(refused.name);
    for (const Name& name : names) registerShortcutIfNeeded(name);
}

void GlobalShortcuts::retryRefused(const Name& name) {
    auto it = refused_.find(name.rawValue);
    if (it == refused_.end()) return;
    const Name refused = it->second.name;
    registerShortcutIfNeeded(refused);
}

std::vector<GlobalShortcuts::Name> GlobalShortcuts::namesNeeding(const Shortcut& shortcut) {
    std::set<std::string> raws;
    for (const auto* table : {&keyDownHandlers_, &keyUpHandlers_}) {
        for (const auto& [raw, list] : *table) raws.insert(raw);
    }
    for (const auto& [raw, streams] : nameStreams_) raws.insert(raw);
    std::vector<Name> names;
    for (const std::string& raw : raws) {
        if (isDisabled(raw)) continue;
        Name name = namesWithDefaults_.count(raw) ? namesWithDefaults_.at(raw) : Name(raw);
        if (getShortcut(name) == shortcut) names.push_back(std::move(name));
    }
    return names;
}

std::vector<GlobalShortcuts::Name> GlobalShortcuts::namesUsing(const Shortcut& shortcut, const Name* leaveOut) {
    std::vector<Name> names;
    for (const Name& stored : storedNames()) {
        if (leaveOut && stored.rawValue == leaveOut->rawValue) continue;
        auto known = namesWithDefaults_.find(stored.rawValue);
        const Name name = known == namesWithDefaults_.end() ? stored : known->second;
        if (getShortcut(name) == shortcut) names.push_back(name);
    }
    return names;
}

void GlobalShortcuts::unregisterShortcut(const Shortcut& shortcut) {
    // Moved out first: releasing the hot key calls back into the centre.
    auto it = registeredShortcuts_.find(shortcut);
    if (it == registeredShortcuts_.end()) return;
    std::shared_ptr<HotKey> released = std::move(it->second);
    registeredShortcuts_.erase(it);
}

bool GlobalShortcuts::isShortcutUsedByOtherName(const Shortcut& shortcut, const Name* leaveOut) {
    std::set<std::string> names;
    for (const auto* table : {&keyDownHandlers_, &keyUpHandlers_}) {
        for (const auto& [raw, list] : *table) names.insert(raw);
    }
    for (const auto& [raw, streams] : nameStreams_) names.insert(raw);
    for (const std::string& raw : names) {
        if ((leaveOut && raw == leaveOut->rawValue) || isDisabled(raw) || !hasHandlers(raw)) continue;
        if (getShortcut(Name(raw)) == shortcut) return true;
    }
    auto streams = shortcutStreams_.find(shortcut);
    return streams != shortcutStreams_.end() && !streams->second.empty();
}

void GlobalShortcuts::dispatchShortcutEvent(EventType type, const Shortcut& shortcut) {
    if (isPaused_) return;
    // Everything that will run is taken now; handlers change the tables as they please.
    const auto& handlers = type == EventType::keyDown ? keyDownHandlers_ : keyUpHandlers_;
    std::vector<std::shared_ptr<Handler>> actions;
    for (const auto& [raw, list] : handlers) {
        if (isDisabled(raw) || getShortcut(list.name) != shortcut) continue;
        actions.insert(actions.end(), list.handlers.begin(), list.handlers.end());
    }
    std::vector<std::shared_ptr<StreamSink>> sinks;
    for (const auto& [raw, streams] : nameStreams_) {
        if (isDisabled(raw) || getShortcut(streams.name) != shortcut) continue;
        for (const auto& [id, sink] : streams.sinks) sinks.push_back(sink);
    }
    if (auto it = shortcutStreams_.find(shortcut); it != shortcutStreams_.end()) {
        for (const auto& [id, sink] : it->second) sinks.push_back(sink);
    }
    for (const auto& handler : actions) {
        if (!handler->removed) handler->action();
    }
    for (const auto& sink : sinks) {
        if (!sink->ended) sink->deliver(type);
    }
}

// --- Streams -----------------------------------------------------------------------------------------

KeyEventStream GlobalShortcuts::events(const Name& name, std::function<void(EventType)> consumer) {
    introduce(name);
    const std::uint64_t id = ++nextStreamID_;
    NameStreams& streams = nameStreams_.try_emplace(name.rawValue, NameStreams{name, {}}).first->second;
    streams.sinks[id] = std::make_shared<StreamSink>(StreamSink{std::move(consumer)});
    registerShortcutIfNeeded(name);
    std::weak_ptr<GlobalShortcuts*> self = self_;
    return KeyEventStream(Subscription([self, raw = name.rawValue, id] {
        if (auto owner = self.lock(); owner && *owner) (*owner)->endNameStream(raw, id);
    }));
}

KeyEventStream GlobalShortcuts::events(const Shortcut& shortcut, std::function<void(EventType)> consumer) {
    const std::uint64_t id = ++nextStreamID_;
    shortcutStreams_[shortcut][id] = std::make_shared<StreamSink>(StreamSink{std::move(consumer)});
    registerShortcut(shortcut);
    std::weak_ptr<GlobalShortcuts*> self = self_;
    return KeyEventStream(Subscription([self, shortcut, id] {
        if (auto owner = self.lock(); owner && *owner) (*owner)->endShortcutStream(shortcut, id);
    }));
}

KeyEventStream GlobalShortcuts::events(EventType type, const Name& name, std::function<void()> consumer) {
    return events(name, [type, consumer = std::move(consumer)](EventType event) {
        if (event == type) consumer();
    });
}

KeyEventStream GlobalShortcuts::events(EventType type, const Shortcut& shortcut, std::function<void()> consumer) {
    return events(shortcut, [type, consumer = std::move(consumer)](EventType event) {
        if (event == type) consumer();
    });
}

void GlobalShortcuts::endNameStream(const std::string& raw, std::uint64_t id) {
    auto it = nameStreams_.find(raw);
    if (it == nameStreams_.end()) return;
    const Name name = it->second.name;
    if (auto sink = it->second.sinks.find(id); sink != it->second.sinks.end()) {
        sink->second->ended = true;
        it->second.sinks.erase(sink);
    }
    if (it->second.sinks.empty()) nameStreams_.erase(it);
    if (!hasHandlers(raw)) forgetRefusal(name);
    if (auto shortcut = getShortcut(name); shortcut && !isShortcutUsedByOtherName(*shortcut)) {
        unregisterShortcut(*shortcut);
    }
}

void GlobalShortcuts::endShortcutStream(const Shortcut& shortcut, std::uint64_t id) {
    auto it = shortcutStreams_.find(shortcut);
    if (it == shortcutStreams_.end()) return;
    if (auto sink = it->second.find(id); sink != it->second.end()) {
        sink->second->ended = true;
        it->second.erase(sink);
    }
    if (it->second.empty()) shortcutStreams_.erase(it);
    if (!isShortcutUsedByOtherName(shortcut)) unregisterShortcut(shortcut);
}

struct RepeatingKeyDownStream::State {
    std::weak_ptr<GlobalShortcuts*> owner;
    Scheduler* scheduler = nullptr;
    std::optional<ShortcutName> name;
    std::optional<Shortcut> shortcut;
    std::function<void()> tick;
    KeyRepeatTiming timing;
    std::optional<Shortcut> heldShortcut;
    ScheduledTask task;
    KeyEventStream events;
    bool ended = false;

    GlobalShortcuts* module() const {
        auto owned = owner.lock();
        return owned ? *owned : nullptr;
    }
    void cancelRepeat() {
        if (task) scheduler->cancel(std::exchange(task, {}));
    }
};

void RepeatingKeyDownStream::end() {
    if (!state_) return;
    state_->ended = true;
    state_->cancelRepeat();
    state_->events.end();
    state_.reset();
}

RepeatingKeyDownStream GlobalShortcuts::repeatingKeyDownEvents(const Name& name, std::function<void()> tick) {
    return makeRepeating(name, std::nullopt, std::move(tick));
}

RepeatingKeyDownStream GlobalShortcuts::repeatingKeyDownEvents(const Shortcut& shortcut, std::function<void()> tick) {
    return makeRepeating(std::nullopt, shortcut, std::move(tick));
}

RepeatingKeyDownStream GlobalShortcuts::makeRepeating(std::optional<Name> name, std::optional<Shortcut> shortcut,
                                                      std::function<void()> tick) {
    using State = RepeatingKeyDownStream::State;
    auto state = std::make_shared<State>();
    state->owner = self_;
    state->scheduler = &scheduler_;
    state->name = name;
    state->shortcut = shortcut;
    state->tick = std::move(tick);
    state->timing = keyboard_.keyRepeat();
    std::weak_ptr<State> weak = state;

    // Whether a held key still repeats. The key itself is asked too: a release the hot key never
    // saw (it was taken again while held) must not leave the ticks running.
    auto continues = [](State& s) {
        GlobalShortcuts* module = s.module();
        if (!module || module->isPaused() || !module->isEnabled()) return false;
        std::optional<Shortcut> current = s.shortcut;
        if (s.name) {
            if (!module->hasActiveHandlers(*s.name)) return false;
            current = module->getShortcut(*s.name);
            if (!current || s.heldShortcut != current) return false;
        }
        return module->isRegistered(*current) && module->keyboard().isKeyDown(current->carbonKeyCode);
    };
    auto repeatAfter = std::make_shared<std::function<void(Scheduler::Duration)>>();
    *repeatAfter = [weak, continues, repeat = std::weak_ptr(repeatAfter)](Scheduler::Duration delay) {
        auto s = weak.lock();
        if (!s || s->ended) return;
        s->task = s->scheduler->schedule(delay, [weak, continues, repeat] {
            auto s = weak.lock();
            if (!s || s->ended) return;
            s->task = {};
            if (!continues(*s)) return;
            auto next = repeat.lock();
            s->tick();
            // The consumer may have ended the stream from its tick.
            if (next && !s->ended) (*next)(s->timing.interval);
        });
    };
    auto onEvent = [weak, repeatAfter](EventType type) {
        auto s = weak.lock();
        if (!s || s->ended) return;
        s->cancelRepeat();
        if (type != EventType::keyDown) return;
        if (s->name) {
            if (GlobalShortcuts* module = s->module()) s->heldShortcut = module->getShortcut(*s->name);
        }
        s->tick();
        if (!s->ended) (*repeatAfter)(s->timing.delay);
    };
    // The event consumer owns the repeat step; the step refers back to itself weakly.
    state->events = name ? events(*name, onEvent) : events(*shortcut, onEvent);
    return RepeatingKeyDownStream(std::move(state));
}

// --- Conflicts ----------------------------------------------------------------------------------------

std::vector<Shortcut> GlobalShortcuts::reservedBySystem() const {
    return reservedShortcuts(center_.systemShortcuts());
}

bool GlobalShortcuts::isTakenBySystem(const Shortcut& shortcut) {
    if (shortcut.carbonKeyCode == Key::f12.rawValue && shortcut.carbonModifiers == 0) return false;
    for (const Shortcut& reserved : reservedBySystem()) {
        if (reserved == shortcut) return true;
    }
    return center_.hotKeys().isHeldByAnotherClient(shortcut.carbonKeyCode, shortcut.carbonModifiers);
}

bool GlobalShortcuts::isDisallowed(const Shortcut& shortcut) const {
    return isDisallowedShortcut(shortcut, operatingSystemVersion(), sandboxed);
}

}  // namespace tessary
