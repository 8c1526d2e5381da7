#pragma once

namespace tessary {

// The values from lowerBound to upperBound, both included.
template <typename T>
struct ClosedRange {
    T lowerBound{};
    T upperBound{};

    bool contains(const T& value) const { return lowerBound <= value && value <= upperBound; }

    friend bool operator==(const ClosedRange&, const ClosedRange&) = default;
};

}  // namespace tessary
