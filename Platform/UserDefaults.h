#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/Signal.h"

namespace tessary {

// Raw bytes kept under a key, as distinct from text: a reader asking for data never gets a string
// and the other way round.
struct UserDefaultsData {
    std::string bytes;

    friend bool operator==(const UserDefaultsData&, const UserDefaultsData&) = default;
};

// One stored value: a Boolean, a whole number, a floating-point number, text or data.
using UserDefaultsValue = std::variant<bool, std::int64_t, double, std::string, UserDefaultsData>;

// Small typed values by key that survive a restart: the settings snapshot, flags, counters.
// Values are strict about their type: a Boolean is not a number and text is not data; the one
// conversion is that a whole number reads as a floating-point number.
class UserDefaults {
public:
    UserDefaults() = default;
    // A copy has the values, not the observers: they watch the object they subscribed to.
    UserDefaults(const UserDefaults&) {}
    UserDefaults& operator=(const UserDefaults&) { return *this; }
    virtual ~UserDefaults() = default;

    // The value under the key; nothing when no value is stored there, or when the stored value has
    // a form this build cannot read (see contains()).
    virtual std::optional<UserDefaultsValue> object(std::string_view key) const = 0;
    // True when anything at all is stored under the key, including a value whose form this build
    // cannot read (a later version's, a hand edit). "Write only when absent" decisions use this.
    virtual bool contains(std::string_view key) const = 0;
    // Stores the value, replacing what was there. A floating-point number that is not finite, and
    // text (or a key) that is not valid UTF-8, cannot be stored: such a call is refused and logged,
    // and the previous value stays.
    virtual void set(std::string_view key, UserDefaultsValue value) = 0;
    virtual void remove(std::string_view key) = 0;
    // Every key that holds something, sorted.
    virtual std::vector<std::string> keys() const = 0;

    // Told when values changed because another process wrote them (another instance of the
    // program, on another display of the user's, sharing the settings), once they can be read here.
    [[nodiscard]] Subscription observeOutsideChanges(std::function<void()> observer) {
        return outsideChanged_.subscribe(std::move(observer));
    }

    // Typed readers: nothing when the key is empty or holds a value of another type.
    std::optional<bool> boolValue(std::string_view key) const;
    std::optional<std::int64_t> integerValue(std::string_view key) const;
    // A whole number reads as a floating-point number as well.
    std::optional<double> doubleValue(std::string_view key) const;
    std::optional<std::string> stringValue(std::string_view key) const;
    std::optional<std::string> dataValue(std::string_view key) const;

    // Whether a value can be stored at all (see set()).
    static bool isStorable(std::string_view key, const UserDefaultsValue& value);

protected:
    Signal<> outsideChanged_;
};

}  // namespace tessary
