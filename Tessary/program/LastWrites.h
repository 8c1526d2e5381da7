#pragma once

// What an exit() from inside a library (Qt's, when its own X connection breaks) and the X server's
// going away must still do: write what must not be lost and remove the socket. The objects that
// hold it are registered here while they live, and unregistered before they go.

#include <string>

namespace tessary {

class AppDelegate;
class InstanceServer;
class SaveRetry;

struct LastWrites {
    static inline AppDelegate* delegate = nullptr;
    static inline SaveRetry* settingsRetry = nullptr;
    static inline std::string socket;
    static inline InstanceServer* server = nullptr;

    // Writes what must not be lost and removes the socket, at once. Safe to repeat.
    static void saveAndLeave();
    // The same from an atexit() handler.
    static void saveOnExit();
};

}  // namespace tessary
