#include "Tessary/program/LastWrites.h"

#include <unistd.h>

#include <thread>

#include "Tessary/services/SaveRetry.h"
#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

void LastWrites::saveAndLeave() {
    if (delegate) delegate->saveNow();
    if (settingsRetry) settingsRetry->flush();
    if (!socket.empty()) ::unlink(socket.c_str());
}

void LastWrites::saveOnExit() {
    // exit() has already destroyed this thread's thread-local objects (the document writer keeps
    // its buffer in one); a fresh thread has its own.
    std::thread(saveAndLeave).join();
}

}  // namespace tessary
