#include "Tessary/integrations/ui/AppIntegrations.h"

#include <string>
#include <string_view>
#include <vector>

#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/integrations/IntentServices.h"
#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

AppIntegrations::AppIntegrations(AppDelegate& delegate) : delegate_(&delegate) {
    AppHooks& hooks = delegate.hooks();
    // A verb given already (a test's) stays.
    for (std::string_view verb : CommandLineVerbs::names()) {
        hooks.commandLineVerbs.try_emplace(std::string(verb), [verb](const std::vector<std::string>& arguments) {
            return CommandLineVerbs::run(verb, arguments);
        });
    }
    hooks.urlCommands = [this](const std::string& url) -> InstanceReply {
        const auto done = urlCommands().handle(url);
        if (done) return {};
        return {done.error().description(), CommandLineVerbs::failedStatus};
    };
    hooks.publishHandles = [this] {
        IntentServices::set(delegate_->zones(), delegate_->workspaces(), delegate_->actions());
    };
    hooks.withdrawHandles = [this] { withdraw(); };
}

AppIntegrations::~AppIntegrations() {
    if (!delegate_) return;
    AppDelegate& delegate = *delegate_;
    withdraw();
    delegate.hooks().urlCommands = nullptr;
    delegate.hooks().publishHandles = nullptr;
    delegate.hooks().withdrawHandles = nullptr;
}

URLCommands& AppIntegrations::urlCommands() {
    if (!urlCommands_) {
        AppDelegate& delegate = *delegate_;
        urlCommands_ = std::make_unique<URLCommands>(delegate.zones(), delegate.actions());
        urlCommands_->onSnapFailed = [&delegate](const ZoneService::SnapError& error) { delegate.reportSnapFailure(error); };
        urlCommands_->workspaces = &delegate.workspaces();
        urlCommands_->state = &delegate.state();
    }
    return *urlCommands_;
}

void AppIntegrations::withdraw() {
    if (delegate_ && IntentServices::zones == &delegate_->zones()) IntentServices::clear();
    // It holds the delegate's services, which go with it.
    urlCommands_.reset();
    delegate_ = nullptr;
}

}  // namespace tessary
