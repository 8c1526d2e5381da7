#pragma once

// Whether a compositing manager runs on the desktop, and notice when one starts or stops. Without
// one, translucent windows show black where they are transparent, so drawing depends on it.

#include <functional>

#include "Platform/Signal.h"

namespace tessary {

class CompositorWatcher {
public:
    virtual ~CompositorWatcher() = default;

    // Known without asking the desktop: kept up to date by its change notices.
    virtual bool isCompositing() const = 0;
    // Called after a compositing manager started or stopped.
    [[nodiscard]] virtual Subscription onChange(std::function<void()> handler) = 0;
};

}  // namespace tessary
