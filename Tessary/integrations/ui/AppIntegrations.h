#pragma once

// Wires the integrations into the delegate: the URL commands take its URLs, the command-line actions
// answer later starts, and the handles automation reads are published by the launch sequence and
// withdrawn first thing when the delegate goes. The shell knows them only as its hooks; this, above
// both, is where they meet.
//
// Made right after the delegate. Either may go first: once the delegate is gone this touches
// nothing of it; when this goes first it takes its hooks back.

#include <memory>

#include "Tessary/integrations/URLCommands.h"

namespace tessary {

class AppDelegate;

class AppIntegrations final {
public:
    explicit AppIntegrations(AppDelegate& delegate);
    ~AppIntegrations();
    AppIntegrations(const AppIntegrations&) = delete;
    AppIntegrations& operator=(const AppIntegrations&) = delete;

    // Made on first use, over the delegate's zones, command table, workspaces and state.
    URLCommands& urlCommands();

private:
    void withdraw();

    AppDelegate* delegate_;
    std::unique_ptr<URLCommands> urlCommands_;
};

}  // namespace tessary
