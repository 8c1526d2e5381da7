#include "Platform/Linux/LaunchOrigin.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tessary {

namespace {

std::string_view variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

// $JOURNAL_STREAM is "DEVICE:INODE" of the stream systemd connected; it counts only while standard
// error is still that stream (a program it started may have redirected it).
bool LaunchOrigin::errorsGoToTheJournal() {
    const std::string stream(variable("JOURNAL_STREAM"));
    std::uintmax_t device = 0, inode = 0;
    char end = 0;
    if (std::sscanf(stream.c_str(), "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &end) != 2) return false;
    struct stat status {};
    if (::fstat(STDERR_FILENO, &status) != 0) return false;
    return static_cast<std::uintmax_t>(status.st_dev) == device && static_cast<std::uintmax_t>(status.st_ino) == inode;
}

LaunchOrigin LaunchOrigin::current() {
    LaunchOrigin origin;
    origin.errorsToTerminal = ::isatty(STDERR_FILENO) == 1;
    origin.errorsToJournal = errorsGoToTheJournal();
    origin.startupNotification = !variable("DESKTOP_STARTUP_ID").empty() || !variable("XDG_ACTIVATION_TOKEN").empty();
    origin.launchedByGLib = variable("GIO_LAUNCHED_DESKTOP_FILE_PID") == std::to_string(::getpid());
    return origin;
}

bool LaunchOrigin::isDesktop() const {
    return !errorsToTerminal && (startupNotification || launchedByGLib || errorsToJournal);
}

}  // namespace tessary
