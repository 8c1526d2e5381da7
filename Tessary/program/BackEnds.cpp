#include "Tessary/program/BackEnds.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "Tessary/program/LastWrites.h"

namespace tessary {

namespace {

std::string programPath(const char* argv0) {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(argv0) : path.string();
}

}  // namespace

BackEnds::BackEnds(TrayFirst& first, const char* argv0, const Logger& log)
    : log_(log),
      defaults(JSONFileUserDefaults::defaultPath()),
      settingsRetry(reportingWrites(), [this] { defaults.writeAgain(); }, first.scheduler, Logger("UserDefaults")),
      loginItems(AutostartLoginItems::defaultEntryPath(), programPath(argv0), AutostartLoginItems::systemEntryPaths()),
      keyboard(first.platform->connection()),
      hotKeys(first.platform->connection(), keyboard),
      localEvents(keyboard),
      shortcuts({defaults, hotKeys, keyboard, localEvents, first.scheduler}),
      engine(std::make_shared<AXWindowEngine>(first.platform->accessibility(), first.platform->workspace())),
      compositor(first.platform->connection()) {
    LastWrites::settingsRetry = &settingsRetry;
    first.trayTargets.shortcuts = &shortcuts;
}

BackEnds::~BackEnds() { LastWrites::settingsRetry = nullptr; }

SaveReport& BackEnds::reportingWrites() {
    defaults.onWriteOutcome = [this](const std::optional<std::string>& failure) {
        using Code = DocumentStoreError::Code;
        if (!failure) return settingsSaves.record({}, log_);
        settingsSaves.record(unexpected(DocumentStoreError{Code::writeFailed, defaults.path(), *failure}), log_);
    };
    return settingsSaves;
}

}  // namespace tessary
