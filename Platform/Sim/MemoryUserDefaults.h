#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "Platform/Logger.h"
#include "Platform/UserDefaults.h"

namespace tessary {

// User defaults held in memory, for tests: refuses what the file-backed store refuses and counts
// the writes, so a test can tell a rewrite of an unchanged value from no write at all.
class MemoryUserDefaults final : public UserDefaults {
public:
    std::optional<UserDefaultsValue> object(std::string_view key) const override;
    bool contains(std::string_view key) const override;
    void set(std::string_view key, UserDefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

    // Accepted set() calls under the key (refused ones are not counted).
    std::size_t writeCount(std::string_view key) const;
    // Stores something under the key that no reader understands, as a later version might.
    void storeUnreadable(std::string_view key);
    // Stores the value as another process would (uncounted) and tells the outside-change observers.
    void changeFromOutside(std::string_view key, UserDefaultsValue value);

private:
    std::map<std::string, std::optional<UserDefaultsValue>, std::less<>> values_;
    std::map<std::string, std::size_t, std::less<>> writes_;
    Logger log_{"UserDefaults"};
};

}  // namespace tessary
