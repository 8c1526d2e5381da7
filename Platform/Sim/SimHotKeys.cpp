#include "Platform/Sim/SimHotKeys.h"

#include <cstdio>

namespace tessary {

namespace {
std::string combination(std::int64_t code, std::int64_t modifiers) {
    char text[64];
    std::snprintf(text, sizeof text, "%lld 0x%llx", static_cast<long long>(code),
                  static_cast<unsigned long long>(modifiers));
    return text;
}
}  // namespace

Expected<HotKeyRegistration, HotKeyRefusal> SimHotKeys::registerHotKey(std::int64_t carbonKeyCode,
                                                                       std::int64_t carbonModifiers) {
    if (takenByOthers.count({carbonKeyCode, carbonModifiers})) {
        requests.push_back("grab " + combination(carbonKeyCode, carbonModifiers) + " taken");
        return unexpected(HotKeyRefusal::heldByAnotherClient);
    }
    if (carbonKeyCode < 0 || carbonKeyCode > 0xffff || carbonModifiers < 0 ||
        (carbonModifiers & ~std::int64_t(0x1b00))) {
        requests.push_back("grab " + combination(carbonKeyCode, carbonModifiers) + " unrepresentable");
        return unexpected(HotKeyRefusal::notRepresentable);
    }
    const HotKeyRegistration id = ++next_;
    entries_[id] = Entry{carbonKeyCode, carbonModifiers};
    requests.push_back("grab " + combination(carbonKeyCode, carbonModifiers) + " #" + std::to_string(id));
    return id;
}

void SimHotKeys::unregisterHotKey(HotKeyRegistration registration) {
    if (entries_.erase(registration)) requests.push_back("ungrab #" + std::to_string(registration));
}

bool SimHotKeys::isHeldByAnotherClient(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) {
    return takenByOthers.count({carbonKeyCode, carbonModifiers}) != 0;
}

HotKeyRegistration SimHotKeys::find(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) const {
    for (const auto& [id, entry] : entries_) {
        if (entry.code == carbonKeyCode && entry.modifiers == carbonModifiers) return id;
    }
    return 0;
}

bool SimHotKeys::press(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) {
    const HotKeyRegistration id = find(carbonKeyCode, carbonModifiers);
    if (id) events_.emit(id, HotKeyEventKind::pressed);
    return id != 0;
}

bool SimHotKeys::release(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) {
    const HotKeyRegistration id = find(carbonKeyCode, carbonModifiers);
    if (id) events_.emit(id, HotKeyEventKind::released);
    return id != 0;
}

void SimHotKeys::lose(std::int64_t carbonKeyCode, std::int64_t carbonModifiers, HotKeyRefusal refusal) {
    const HotKeyRegistration id = find(carbonKeyCode, carbonModifiers);
    if (!id) return;
    entries_.erase(id);
    requests.push_back("lost #" + std::to_string(id));
    lost_.emit(id, refusal);
}

std::vector<std::pair<std::int64_t, std::int64_t>> SimHotKeys::registered() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> result;
    for (const auto& [id, entry] : entries_) result.emplace_back(entry.code, entry.modifiers);
    return result;
}

}  // namespace tessary
