#pragma once

#include <cstdint>

namespace tessary {

// A process identifier as the desktop reports it (signed 32-bit, like pid_t).
using ProcessID = std::int32_t;

}  // namespace tessary
