#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "Platform/UserNotices.h"

namespace tessary {

// Notices kept in memory, for tests: each as posted, and as one line "TITLE: BODY [ACTION]".
class RecordingUserNotices final : public UserNotices {
public:
    void post(UserNotice notice) override { posted_.push_back(std::move(notice)); }

    const std::vector<UserNotice>& posted() const { return posted_; }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const UserNotice& notice : posted_) {
            std::string line = notice.title + ": " + notice.body;
            if (!notice.actionLabel.empty()) line += " [" + notice.actionLabel + "]";
            out.push_back(std::move(line));
        }
        return out;
    }
    // The user takes the action of the notice at `index`; false when it has none.
    bool act(std::size_t index) {
        if (index >= posted_.size() || !posted_[index].action) return false;
        auto action = std::exchange(posted_[index].action, nullptr);
        action();
        return true;
    }
    void clear() { posted_.clear(); }

private:
    std::vector<UserNotice> posted_;
};

}  // namespace tessary
