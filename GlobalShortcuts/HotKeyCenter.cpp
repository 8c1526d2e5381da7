#include "GlobalShortcuts/HotKeyCenter.h"

#include "GlobalShortcuts/Utilities.h"

namespace tessary {

HotKeyCenter::HotKeyCenter(HotKeys& hotKeys, LocalEvents& localEvents)
    : hotKeys_(hotKeys),
      keyMonitor_(localEvents, localEventBit(LocalEventType::keyDown) | localEventBit(LocalEventType::keyUp),
                  [this](const LocalEvent& event) { return matchLocalKeyEvent(event); }) {
    events_ = hotKeys_.onEvent([this](HotKeyRegistration r, HotKeyEventKind kind) { platformEvent(r, kind); });
    lost_ = hotKeys_.onLost([this](HotKeyRegistration r, HotKeyRefusal why) { registrationLost(r, why); });
    isMenuOpen_ = localEvents.isMenuTracking();
    menuTracking_ = localEvents.onMenuTracking([this](bool open) { menuTrackingChanged(open); });
    mode_ = isMenuOpen_ ? Mode::menuOpen : Mode::normal;
}

HotKeyCenter::~HotKeyCenter() = default;

Expected<void, HotKeyRefusal> HotKeyCenter::registerHotKey(const std::shared_ptr<HotKey>& hotKey) {
    auto registration = hotKeys_.registerHotKey(hotKey->carbonKeyCode, hotKey->carbonModifiers);
    if (!registration) return unexpected(registration.error());
    hotKey->registration = *registration;
    byRegistration_[*registration] = hotKey->id;
    table_[hotKey->id] = hotKey;
    applyMode();
    return {};
}

void HotKeyCenter::forget(HotKey& hotKey) {
    if (hotKey.registration) {
        hotKeys_.unregisterHotKey(*hotKey.registration);
        byRegistration_.erase(*hotKey.registration);
        hotKey.registration.reset();
    }
    table_.erase(hotKey.id);
}

void HotKeyCenter::updateMode() {
    const Mode next = !isEnabled_ ? Mode::disabled : isMenuOpen_ ? Mode::menuOpen : Mode::normal;
    if (next == mode_) return;
    mode_ = next;
    applyMode();
}

void HotKeyCenter::applyMode() {
    if (mode_ == Mode::normal) {
        registerAll();
    } else {
        unregisterAll();
    }
    if (mode_ == Mode::menuOpen) {
        keyMonitor_.start();
    } else {
        keyMonitor_.stop();
    }
}

std::vector<std::shared_ptr<HotKey>> HotKeyCenter::liveHotKeys() const {
    std::vector<std::shared_ptr<HotKey>> live;
    for (const auto& [id, weak] : table_) {
        if (auto hotKey = weak.lock()) live.push_back(std::move(hotKey));
    }
    return live;
}

void HotKeyCenter::unregisterAll() {
    for (const auto& hotKey : liveHotKeys()) {
        if (!hotKey->registration) continue;
        hotKeys_.unregisterHotKey(*hotKey->registration);
        byRegistration_.erase(*hotKey->registration);
        hotKey->registration.reset();
    }
}

void HotKeyCenter::registerAll() {
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->registration) continue;
        auto registration = hotKeys_.registerHotKey(hotKey->carbonKeyCode, hotKey->carbonModifiers);
        if (registration) {
            hotKey->registration = *registration;
            byRegistration_[*registration] = hotKey->id;
            continue;
        }
        table_.erase(hotKey->id);
        if (auto failed = hotKey->onRegistrationFailed) failed(registration.error());
    }
}

void HotKeyCenter::menuTrackingChanged(bool open) {
    if (isMenuOpen_ == open) return;
    isMenuOpen_ = open;
    updateMode();
}

void HotKeyCenter::run(const std::shared_ptr<HotKey>& hotKey, bool down) {
    // A copy: the action may drop the hot key (and with it the closure) while it runs.
    const std::function<void()> action = down ? hotKey->onKeyDown : hotKey->onKeyUp;
    if (action) action();
}

void HotKeyCenter::platformEvent(HotKeyRegistration registration, HotKeyEventKind kind) {
    if (mode_ != Mode::normal) return;
    auto id = byRegistration_.find(registration);
    if (id == byRegistration_.end()) return;
    auto entry = table_.find(id->second);
    if (entry == table_.end()) return;
    if (auto hotKey = entry->second.lock()) run(hotKey, kind == HotKeyEventKind::pressed);
}

void HotKeyCenter::registrationLost(HotKeyRegistration registration, HotKeyRefusal refusal) {
    auto id = byRegistration_.find(registration);
    if (id == byRegistration_.end()) return;
    const std::int64_t hotKeyID = id->second;
    byRegistration_.erase(id);
    auto entry = table_.find(hotKeyID);
    if (entry == table_.end()) return;
    auto hotKey = entry->second.lock();
    table_.erase(entry);
    if (!hotKey) return;
    hotKey->registration.reset();
    if (auto failed = hotKey->onRegistrationFailed) failed(refusal);
}

std::optional<LocalEvent> HotKeyCenter::matchLocalKeyEvent(const LocalEvent& event) {
    if (event.type == LocalEventType::keyDown && event.isRepeat) return event;
    if (!event.carbonKeyCode) return event;
    const std::int64_t code = *event.carbonKeyCode;
    const std::int64_t mask = normalisedModifiers(code, event.carbonModifiers);
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->carbonKeyCode != code || normalisedModifiers(code, hotKey->carbonModifiers) != mask) continue;
        run(hotKey, event.type == LocalEventType::keyDown);
        return std::nullopt;
    }
    return event;
}

}  // namespace tessary
