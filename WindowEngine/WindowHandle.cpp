#include "WindowEngine/WindowHandle.h"

#include <ostream>

namespace tessary {

std::string WindowHandle::description() const {
    return "WindowHandle(pid: " + std::to_string(pid) + ", " + std::to_string(element.hash()) + ")";
}

std::ostream& operator<<(std::ostream& os, const WindowHandle& handle) { return os << handle.description(); }

}  // namespace tessary
