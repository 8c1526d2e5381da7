#pragma once

// SIGTERM, SIGINT and SIGHUP turned into something the main loop can wait on: the handler only
// writes the signal's number into a pipe (a self-pipe), and the main loop reads it when the pipe's
// read end becomes readable, to quit in order there.

namespace tessary {

class TerminationSignals {
public:
    // Installs the handlers; one instance per process. Restores the default handling when destroyed.
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Readable once a signal arrived; -1 when the pipe could not be made.
    int fileDescriptor() const { return readEnd_; }
    // The number of the last signal received since the previous call, or 0.
    int take();

private:
    int readEnd_ = -1;
};

}  // namespace tessary
