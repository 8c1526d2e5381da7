#pragma once

// Who started this process: someone at a command line (a person at a terminal, a script), or the
// desktop opening a tessary: link or a launcher's entry. Both run `tessary ARGUMENT`, so the
// desktop is known by the marks its launchers leave on the one process they start, and only while
// standard error reaches no terminal, where a person would read what it says:
// - startup notification: $DESKTOP_STARTUP_ID (X11) or $XDG_ACTIVATION_TOKEN;
// - GLib's launchers (GNOME, Xfce, Cinnamon, MATE, `gio launch`): $GIO_LAUNCHED_DESKTOP_FILE_PID
//   is this process's own id (a program started from a launched one inherits the variable, never
//   the id);
// - standard error is the journal's stream ($JOURNAL_STREAM names its device and inode), as for
//   the applications a systemd session (KDE Plasma) starts.
// A link xdg-open hands over outside a desktop session leaves no mark: it counts as the command
// line.

namespace tessary {

struct LaunchOrigin {
    bool errorsToTerminal = false;
    bool errorsToJournal = false;
    bool startupNotification = false;
    bool launchedByGLib = false;

    // This process's, read from its environment and its standard error.
    static LaunchOrigin current();
    // Whether standard error is the stream $JOURNAL_STREAM names: a terminal's shell inherits the
    // variable from a session systemd started, while its errors go to the terminal.
    static bool errorsGoToTheJournal();
    bool isDesktop() const;
};

}  // namespace tessary
