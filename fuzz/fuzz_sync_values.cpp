// A synchronised value from another machine, pulled by the real services: whatever it holds, the
// pull must not crash; a value that does not decode must stay exactly as it was; and one that does
// must leave this machine and the store at rest, so that a second pull reads, replaces and writes
// nothing (else two machines would rewrite each other's documents for ever).

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Sim/InMemorySyncStore.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/integrations/CloudSync.h"
#include "WindowEngine/FakeWindowEngine.h"

namespace {

using namespace tessary;

// Documents that are never on disk: nothing to read, every write accepted.
class NoFiles final : public DocumentFileSystem {
public:
    Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path&) override {
        return std::optional<std::string>();
    }
    std::error_code createDirectories(const std::filesystem::path&) override { return {}; }
    std::error_code writeAtomically(const std::filesystem::path&, std::string_view, std::optional<FileStamp>*) override {
        return {};
    }
};

class NoLogs final : public LogSink {
public:
    void write(const LogRecord&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static NoLogs quiet;
    static ScopedLogSink silence(quiet);
    static const std::string_view keys[] = {CloudSync::layoutsKey, CloudSync::rulesKey, CloudSync::workspacesKey};
    const std::string_view key = keys[data[0] % 3];
    const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto files = std::make_shared<NoFiles>();
    VirtualScheduler scheduler;
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    const auto noDisplays = [] { return std::vector<DisplayInfo>{}; };
    ZoneService zones(std::make_shared<FakeWindowEngine>(), JSONDocumentStore<LayoutLibrary>("layouts.json", files));
    RuleService rules(zones, noDisplays, JSONDocumentStore<RuleSet>("rules.json", files));
    WorkspaceService workspaces(zones, noDisplays, JSONDocumentStore<WorkspaceLibrary>("workspaces.json", files),
                                applications, launcher, scheduler);
    InMemorySyncStore store;
    store.values.emplace(std::string(key), value);
    CloudSync sync(store, zones, rules, workspaces, [] { return true; }, CloudSync::Availability::available,
                   scheduler, [] { return Date(800'000'000); });

    sync.start();
    if (sync.lastError()) {
        if (store.values.at(std::string(key)) != value) std::abort();
        return 0;
    }
    const LayoutLibrary layouts = zones.library();
    const RuleSet ruleSet = rules.ruleSet();
    const WorkspaceLibrary workspaceLibrary = workspaces.library();
    const std::size_t writes = store.writes.size();
    sync.pull();
    if (store.writes.size() != writes || sync.lastError()) std::abort();
    if (!(zones.library() == layouts) || !(rules.ruleSet() == ruleSet) || !(workspaces.library() == workspaceLibrary)) {
        std::abort();
    }
    return 0;
}
