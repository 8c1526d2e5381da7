#pragma once

// The handlers of a per-event hot path, called without copying the list or any handler: one
// event's walk costs no allocation. Handlers may add and remove handlers (themselves included)
// while a walk runs: an added one is first called for the next event, a removed one is not called
// again. A removed handler is only marked during a walk and erased once the outermost walk ends,
// so the function object that is running stays where it is until it returns.

#include <cstddef>
#include <deque>
#include <functional>
#include <utility>

namespace tessary {

template <typename... Args>
class HandlerList {
public:
    using Handler = std::function<void(Args...)>;

    HandlerList() = default;
    HandlerList(const HandlerList&) = delete;
    HandlerList& operator=(const HandlerList&) = delete;

    // Ids are the caller's and unique.
    void add(int id, Handler handler) { entries_.push_back(Entry{id, std::move(handler), false}); }

    // False when no handler has that id.
    bool remove(int id) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->id != id || it->removed) continue;
            if (walks_ > 0) {
                it->removed = true;
                erasePending_ = true;
            } else {
                entries_.erase(it);
            }
            return true;
        }
        return false;
    }

    // Calls, in the order they were added, the handlers present when the call starts that are
    // still present when their turn comes.
    void call(Args... args) {
        Walk walk(*this);
        // A deque keeps its elements in place as it grows, so the running handler's object stays
        // valid while it adds others; only the ones present now are called.
        const std::size_t count = entries_.size();
        for (std::size_t i = 0; i < count; ++i) {
            Entry& entry = entries_[i];
            if (!entry.removed) entry.handler(args...);
        }
    }

private:
    struct Entry {
        int id;
        Handler handler;
        bool removed;
    };
    // Counts the walks under way; the last to end erases what was removed during them.
    struct Walk {
        explicit Walk(HandlerList& list) : list(list) { ++list.walks_; }
        ~Walk() {
            if (--list.walks_ == 0 && std::exchange(list.erasePending_, false)) {
                std::erase_if(list.entries_, [](const Entry& entry) { return entry.removed; });
            }
        }
        Walk(const Walk&) = delete;
        Walk& operator=(const Walk&) = delete;
        HandlerList& list;
    };

    std::deque<Entry> entries_;
    int walks_ = 0;
    bool erasePending_ = false;
};

}  // namespace tessary
