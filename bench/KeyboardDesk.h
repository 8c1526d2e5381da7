#pragma once

// A desktop for the keyboard's benchmarks (Xvfb and openbox): the services as the application wires
// them (the keyboard side with the eighteen defaults registered, a zone service with a layout of
// quarters), and, when asked, one focused test-client window.

#include <xcb/xtest.h>

#include <poll.h>

#include <memory>
#include <optional>

#include "Platform/X11/X11Platform.h"
#include "TessaryCore/ZoneGrid.h"
#include "WindowEngine/AXWindowEngine.h"
#include "tests/TessaryCore/TestSupport.h"
#include "tests/e2e/harness/VirtualDesktop.h"
#include "tests/e2e/keyboard/KeyboardServices.h"

namespace tessary::bench {

struct KeyboardDesk {
    explicit KeyboardDesk(bool withWindow = true) {
        platform = X11Platform::open(desktop.display().c_str());
        DisplayProvider::setScreens(&platform->screens());
        engine = std::make_shared<AXWindowEngine>(platform->accessibility(), platform->workspace());
        zones = std::make_unique<ZoneService>(engine, JSONDocumentStore<LayoutLibrary>(folder / "layouts.json"));
        const ZoneLayout quarters(UUID::random(), "Quarters", LayoutKind(ZoneGrid::uniform(2, 2)), 0, 0, std::nullopt,
                                  Date(0));
        zones->updateLibrary([&](LayoutLibrary& library) {
            library.layouts = {quarters};
            library.defaultLayoutID = quarters.id;
        });
        zones->onSnapped = [this](const WindowHandle&, const DisplayInfo&, const std::vector<std::int64_t>&) { ++snaps; };
        keys = std::make_unique<e2e::KeyboardServices>(platform->connection(), *zones);
        if (!withWindow) return;
        client.emplace(desktop.startClient());
        const xcb_window_t id = client->open("class=TessaryNotes title=notes x=100 y=100 w=400 h=300");
        e2e::waitUntil(
            [&] {
                platform->processPendingEvents();
                window = engine->focusedWindow();
                return window && *window == WindowHandle(platform->accessibility().processOf(id),
                                                         platform->accessibility().elementForWindow(id));
            },
            e2e::Clock::now() + std::chrono::seconds(10), platform->fileDescriptor());
    }
    ~KeyboardDesk() {
        keys.reset();
        zones.reset();
        engine.reset();
        DisplayProvider::setScreens(nullptr);
        platform.reset();
    }

    void fake(std::uint8_t type, std::int64_t carbonCode) {
        xcb_test_fake_input(platform->connection().xcb(), type, *keys->keyboard.keyCode(carbonCode), XCB_CURRENT_TIME,
                            XCB_WINDOW_NONE, 0, 0, 0);
    }
    // Ctrl+Alt+key, typed; returns once the snap it causes is reported.
    void pressAndWait(Key key) {
        const int before = snaps;
        for (Key k : {Key::control, Key::option, key}) fake(XCB_KEY_PRESS, k.rawValue);
        for (Key k : {key, Key::option, Key::control}) fake(XCB_KEY_RELEASE, k.rawValue);
        platform->connection().flush();
        while (snaps == before) {
            pollfd descriptor{platform->fileDescriptor(), POLLIN, 0};
            ::poll(&descriptor, 1, 1000);
            platform->processPendingEvents();
        }
    }

    e2e::VirtualDesktop desktop;
    TemporaryFolder folder;
    std::unique_ptr<X11Platform> platform;
    std::shared_ptr<AXWindowEngine> engine;
    std::unique_ptr<ZoneService> zones;
    std::unique_ptr<e2e::KeyboardServices> keys;
    std::optional<e2e::TestClient> client;
    std::optional<WindowHandle> window;
    int snaps = 0;
};

}  // namespace tessary::bench
