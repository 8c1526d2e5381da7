#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

#include "Platform/Accessibility.h"
#include "Platform/ProcessID.h"

namespace tessary {

// Which window: its process and its accessibility element. The element alone identifies the window
// (equality and hashing ignore the process), so handles for the same window obtained at different
// times match and can key dictionaries.
struct WindowHandle {
    ProcessID pid = 0;
    AXElement element;

    WindowHandle() = default;
    WindowHandle(ProcessID pid, AXElement element) : pid(pid), element(element) {}

    // "WindowHandle(pid: 123, 456789)": the process and the element's hash.
    std::string description() const;

    friend bool operator==(const WindowHandle& a, const WindowHandle& b) { return a.element == b.element; }
};

std::ostream& operator<<(std::ostream& os, const WindowHandle& handle);

}  // namespace tessary

template <>
struct std::hash<tessary::WindowHandle> {
    std::size_t operator()(const tessary::WindowHandle& handle) const noexcept { return handle.element.hash(); }
};
