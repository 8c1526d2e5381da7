#pragma once

#include <cstdlib>
#include <string>

namespace tessary::pinned {

// The argument that starts a test's own session bus (`dbus-daemon ARGUMENT --nofork ...`) with the
// configuration the pinned desktop names: the services it can start are the tests' own.
inline std::string privateBusConfiguration() {
    const char* file = std::getenv("TESSARY_TEST_BUS_CONFIG");
    return file ? std::string("--config-file=") + file : std::string("--session");
}

}  // namespace tessary::pinned
