#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Logger.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/integrations/IntentServices.h"
#include "Tessary/integrations/URLCommands.h"
#include "WindowEngine/DisplayProvider.h"
#include "WindowEngine/FakeWindowEngine.h"

using namespace tessary;

namespace {

class Quiet : public LogSink {
public:
    void write(const LogRecord&) override {}
};

// One display with the starter layouts, one focused window; documents go nowhere (every save
// fails and is logged, which is fine here).
struct World {
    World() {
        Logger::setSink(&quiet);
        DisplayProvider::displaysOverride =
            std::vector<DisplayInfo>{{1, "MAIN", "Main", Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1080), true, false}};
        window = engine->addWindow("XTerm", 1, "x", start, Size{0, 0}, true);
        commands.workspaces = &workspaces;
        IntentServices::set(zones, workspaces, actions);
    }

    Quiet quiet;
    VirtualScheduler scheduler;
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    std::shared_ptr<FakeWindowEngine> engine = std::make_shared<FakeWindowEngine>();
    ZoneService zones{engine, JSONDocumentStore<LayoutLibrary>("/nonexistent/tessary-fuzz/layouts.json")};
    WorkspaceService workspaces{zones,
                                [] { return DisplayProvider::displays(); },
                                JSONDocumentStore<WorkspaceLibrary>("/nonexistent/tessary-fuzz/workspaces.json"),
                                applications,
                                launcher,
                                scheduler};
    AppActions actions;
    URLCommands commands{zones, actions};
    const Rect start{10, 10, 300, 200};
    WindowHandle window;
};

// The window stays where it was or lands exactly in one of the display's zones.
bool inPlace(World& world) {
    const Rect frame = *world.engine->frame(world.window);
    if (frame == world.start) return true;
    for (const Zone& zone : world.zones.zones(DisplayProvider::displays().front())) {
        if (frame == zone.rect) return true;
    }
    return false;
}

}  // namespace

// URLs and command lines come from any program or script the user runs: neither may crash, move
// the window anywhere but into a zone, fail without saying why, or answer with a status outside 0,
// 1 and 2.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    world.engine->setFrame(world.start, world.window);
    world.workspaces.setLibrary({});

    // A failure the command line prints always says what failed.
    for (const std::string& url : {std::string(text), "tessary://snap?zone=" + std::string(text)}) {
        const auto handled = world.commands.handle(url);
        if (!handled && handled.error().description().empty()) std::abort();
    }
    if (!inPlace(world)) std::abort();

    std::vector<std::string> arguments;
    std::size_t from = 0;
    for (std::size_t at = text.find('\0'); at != std::string_view::npos; at = text.find('\0', from)) {
        arguments.emplace_back(text.substr(from, at - from));
        from = at + 1;
    }
    arguments.emplace_back(text.substr(from));
    const std::string verb = arguments.front();
    arguments.erase(arguments.begin());
    const InstanceReply reply = CommandLineVerbs::run(verb, arguments);
    if (reply.status < 0 || reply.status > 2) std::abort();
    if (!inPlace(world)) std::abort();
    return 0;
}
