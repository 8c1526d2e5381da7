#pragma once

// Change notices: a list of callbacks that a back end calls and that listeners leave by dropping
// their Subscription. Either side may go first: a subscription that outlives its signal, or a
// signal destroyed while a subscription is held, is safe.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tessary {

// Ends a subscription when destroyed or reset; move-only.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
    }
    bool isActive() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

template <typename... Args>
class Signal {
public:
    using Handler = std::function<void(Args...)>;

    Signal() : state_(std::make_shared<State>()) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Subscription subscribe(Handler handler) {
        const std::uint64_t id = ++state_->nextID;
        state_->handlers.push_back({id, std::make_shared<Handler>(std::move(handler))});
        std::weak_ptr<State> weak = state_;
        return Subscription([weak, id] {
            if (auto state = weak.lock()) {
                std::erase_if(state->handlers, [id](const Entry& e) { return e.id == id; });
            }
        });
    }

    // Calls every handler subscribed when the emission starts and still subscribed when its turn
    // comes, in subscription order; handlers may subscribe and unsubscribe while it runs.
    void emit(Args... args) {
        // Without a copy of the list (emissions are on per-event paths): the entries stay in
        // subscription order, ids growing, so the next one to call is the first after the last
        // called, up to the last id given before the emission started.
        std::shared_ptr<State> state = state_;
        const std::uint64_t last = state->nextID;
        std::uint64_t called = 0;
        for (;;) {
            const auto next = std::upper_bound(state->handlers.begin(), state->handlers.end(), called,
                                               [](std::uint64_t id, const Entry& e) { return id < e.id; });
            if (next == state->handlers.end() || next->id > last) return;
            called = next->id;
            // Held while it runs: the handler may end its own subscription.
            const std::shared_ptr<Handler> handler = next->handler;
            (*handler)(args...);
        }
    }

    std::size_t subscriberCount() const { return state_->handlers.size(); }

private:
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Handler> handler;
    };
    struct State {
        std::uint64_t nextID = 0;
        std::vector<Entry> handlers;
    };
    std::shared_ptr<State> state_;
};

}  // namespace tessary
