#include "Platform/Sim/MemoryUserDefaults.h"

namespace tessary {

std::optional<UserDefaultsValue> MemoryUserDefaults::object(std::string_view key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

bool MemoryUserDefaults::contains(std::string_view key) const { return values_.find(key) != values_.end(); }

void MemoryUserDefaults::set(std::string_view key, UserDefaultsValue value) {
    if (!isStorable(key, value)) {
        log_.error("Refused to store a value that cannot be kept under \"" + std::string(key) + "\"");
        return;
    }
    values_.insert_or_assign(std::string(key), std::optional<UserDefaultsValue>(std::move(value)));
    ++writes_[std::string(key)];
}

void MemoryUserDefaults::remove(std::string_view key) {
    if (const auto found = values_.find(key); found != values_.end()) values_.erase(found);
}

std::vector<std::string> MemoryUserDefaults::keys() const {
    std::vector<std::string> result;
    result.reserve(values_.size());
    for (const auto& [key, value] : values_) result.push_back(key);
    return result;
}

std::size_t MemoryUserDefaults::writeCount(std::string_view key) const {
    const auto found = writes_.find(key);
    return found == writes_.end() ? 0 : found->second;
}

void MemoryUserDefaults::storeUnreadable(std::string_view key) {
    values_.insert_or_assign(std::string(key), std::nullopt);
}

void MemoryUserDefaults::changeFromOutside(std::string_view key, UserDefaultsValue value) {
    values_.insert_or_assign(std::string(key), std::move(value));
    outsideChanged_.emit();
}

}  // namespace tessary
