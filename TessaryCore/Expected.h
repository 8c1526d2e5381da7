#pragma once

// A value or a typed error, for operations that can be refused: errors are values, not exceptions.
// (The standard one arrives with C++23; this is the small part of it the code base uses.)

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

namespace tessary {

template <typename E>
struct Unexpected {
    E error;
};

template <typename E>
Unexpected<std::decay_t<E>> unexpected(E&& error) {
    return Unexpected<std::decay_t<E>>{std::forward<E>(error)};
}

template <typename T, typename E>
class [[nodiscard]] Expected {
public:
    Expected(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> failure) : storage_(std::in_place_index<1>, std::move(failure.error)) {}

    bool hasValue() const { return storage_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() & { assert(hasValue()); return std::get<0>(storage_); }
    const T& value() const& { assert(hasValue()); return std::get<0>(storage_); }
    T&& value() && { assert(hasValue()); return std::get<0>(std::move(storage_)); }
    const E& error() const { assert(!hasValue()); return std::get<1>(storage_); }

    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

private:
    std::variant<T, E> storage_;
};

// Success without a value, or an error.
template <typename E>
class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default;
    Expected(Unexpected<E> failure) : error_(std::move(failure.error)), failed_(true) {}

    bool hasValue() const { return !failed_; }
    explicit operator bool() const { return hasValue(); }
    const E& error() const { assert(failed_); return error_; }

private:
    E error_{};
    bool failed_ = false;
};

}  // namespace tessary
