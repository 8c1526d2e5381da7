#pragma once

// Handles of the key event streams of GlobalShortcuts. A stream delivers the presses and releases of
// a name's (or a bare shortcut's) hot key to its consumer for as long as the handle lives; ending
// it (end(), destruction, or assigning another stream) removes its consumer and gives up the hot
// key when nothing else needs it. Move-only; a handle may outlive the module, after which it does
// nothing.

#include <memory>

#include "Platform/Signal.h"

namespace tessary {

class KeyEventStream {
public:
    KeyEventStream() = default;
    explicit KeyEventStream(Subscription termination) : termination_(std::move(termination)) {}

    void end() { termination_.reset(); }
    bool isOpen() const { return termination_.isActive(); }

private:
    Subscription termination_;
};

// Key-down ticks that repeat while the key is held, at the keyboard's repeat delay and interval.
class RepeatingKeyDownStream {
public:
    struct State;

    RepeatingKeyDownStream() = default;
    explicit RepeatingKeyDownStream(std::shared_ptr<State> state) : state_(std::move(state)) {}
    RepeatingKeyDownStream(RepeatingKeyDownStream&&) noexcept = default;
    RepeatingKeyDownStream& operator=(RepeatingKeyDownStream&& other) noexcept {
        if (this != &other) {
            end();
            state_ = std::move(other.state_);
        }
        return *this;
    }
    ~RepeatingKeyDownStream() { end(); }

    void end();
    bool isOpen() const { return state_ != nullptr; }

private:
    std::shared_ptr<State> state_;
};

}  // namespace tessary
