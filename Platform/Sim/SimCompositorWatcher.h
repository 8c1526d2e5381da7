#pragma once

#include "Platform/CompositorWatcher.h"

namespace tessary {

// A compositing manager the test starts and stops.
class SimCompositorWatcher : public CompositorWatcher {
public:
    explicit SimCompositorWatcher(bool compositing = true) : compositing_(compositing) {}

    bool isCompositing() const override { return compositing_; }
    Subscription onChange(std::function<void()> handler) override { return changed_.subscribe(std::move(handler)); }

    void setCompositing(bool compositing) {
        if (compositing == compositing_) return;
        compositing_ = compositing;
        changed_.emit();
    }

private:
    bool compositing_;
    Signal<> changed_;
};

}  // namespace tessary
