#pragma once

#include <optional>

#include "Platform/LoginItems.h"

namespace tessary {

// Launch at login in memory, for tests: a change succeeds unless `refusal` is set, and a
// registration may be left waiting for the user's approval (it then reads as off).
class MemoryLoginItems final : public LoginItems {
public:
    bool isEnabled() const override { return enabled_ && !awaitingApproval; }
    Expected<void, LoginItemError> setEnabled(bool enabled) override {
        ++requestCount;
        if (refusal) return unexpected(*refusal);
        enabled_ = enabled;
        return {};
    }

    // Every change request fails with this error while it is set.
    std::optional<LoginItemError> refusal;
    // A registration counts only once the user approves it.
    bool awaitingApproval = false;
    int requestCount = 0;

private:
    bool enabled_ = false;
};

}  // namespace tessary
