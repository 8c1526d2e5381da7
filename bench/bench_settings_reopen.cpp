// The settings window opened again on a real desktop (Xvfb split into two monitors, openbox, a
// tray): the time from the request to the window mapped and painted, as another connection sees
// it: its MapNotify, then the X DAMAGE extension's notices of drawing into it until they have
// covered the whole window. The program is asked through its instance socket, as a later start
// with "tessary://settings" asks it (written directly, so that starting that second process is not
// in the figure); the window is closed as the window manager's close button does.
//
// The reference, in the same run on the same desktop, asked and closed the same way: a bare Qt
// Widgets program with a window of similar widgets (support/BareSettingsWindow.cpp), shown again
// on a line of its standard input. The two are interleaved, each round in the other order, and
// each opening waits until both programs have been idle for 100 ms. The first openings (fonts,
// icons and windows made for the first time) are given apart and left out of the medians.
//
// One iteration: the figures are the counters (milliseconds, MiB), and a table is printed with the
// machine's load. BENCH_PROGRAM runs another build of the program (an earlier one, to compare).

#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/InstanceMessage.h"
#include "Platform/X11/X11Platform.h"
#include "bench/BenchProgram.h"
#include "bench/BenchStatistics.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_BARE_SETTINGS
#error "TESSARY_BARE_SETTINGS must name the bare settings window program"
#endif

using namespace tessary;
using namespace tessary::e2e;
namespace fs = std::filesystem;

namespace {

constexpr int kWarmUp = 2;
constexpr int kRounds = 15;
constexpr int kWidth = 860, kHeight = 580;

std::string programPath() { return bench::programUnderTest(TESSARY_PROGRAM); }

// The DAMAGE extension spoken directly (this machine has its library but not its header): the
// version handshake, and a damage object that reports every rectangle drawn.
xcb_extension_t damageExtension = {"DAMAGE", 0};

template <typename Request>
unsigned sendDamageRequest(xcb_connection_t* c, std::uint8_t minor, Request& body, bool hasReply) {
    struct iovec parts[4];
    const xcb_protocol_request_t request = {1, &damageExtension, minor, std::uint8_t(hasReply ? 0 : 1)};
    parts[2].iov_base = &body;
    parts[2].iov_len = sizeof body;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    return xcb_send_request(c, hasReply ? XCB_REQUEST_CHECKED : 0, parts + 2, &request);
}

struct DamageQueryVersion {
    std::uint8_t major, minor;
    std::uint16_t length;
    std::uint32_t clientMajor = 1, clientMinor = 1;
};
struct DamageCreate {
    std::uint8_t major, minor;
    std::uint16_t length;
    std::uint32_t damage, drawable;
    std::uint8_t level, pad[3];
};
struct DamageNotify {
    std::uint8_t type, level;
    std::uint16_t sequence;
    std::uint32_t drawable, damage, timestamp;
    std::int16_t x, y;
    std::uint16_t width, height;
    std::int16_t gx, gy;
    std::uint16_t gwidth, gheight;
};
constexpr std::uint8_t kRawRectangles = 0;

// A connection of its own that sees the settings-sized windows made, mapped and drawn into.
class PaintWatcher {
public:
    explicit PaintWatcher(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(c_)) throw std::runtime_error("cannot watch the desktop");
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c_, &damageExtension);
        if (!damage || !damage->present) throw std::runtime_error("the X server has no DAMAGE");
        damageEvent_ = damage->first_event;
        DamageQueryVersion version{};
        const unsigned sequence = sendDamageRequest(c_, 0, version, true);
        xcb_generic_error_t* error = nullptr;
        std::free(xcb_wait_for_reply(c_, sequence, &error));
        std::free(error);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~PaintWatcher() { xcb_disconnect(c_); }

    void drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) handle(event, Clock::now());
    }

    struct Opening {
        xcb_window_t window = 0;
        double mapped = 0, painted = 0;  // milliseconds after the request
    };
    // Waits for a watched window to be mapped and drawn whole; nothing at the deadline. `whole` is
    // false when the window was already on screen before the damage object saw it.
    std::optional<Opening> awaitOpening(Clock::time_point requested, Clock::time_point deadline, bool& whole) {
        for (;;) {
            if (mapped_) {
                const Watched& watched = windows_[*mapped_];
                if (watched.painted.coveredAt || watched.missedStart) {
                    const auto since = [&](Clock::time_point at) {
                        return std::chrono::duration<double, std::milli>(at - requested).count();
                    };
                    whole = !watched.missedStart;
                    return Opening{*mapped_, since(mappedAt_), whole ? since(*watched.painted.coveredAt) : 0};
                }
            }
            xcb_generic_event_t* event = next(deadline);
            if (!event) return std::nullopt;
            handle(event, Clock::now());
        }
    }
    // Forgets the last map and what was drawn, before the next request.
    void reset() {
        mapped_.reset();
        for (auto& [window, watched] : windows_) watched.painted = {};
    }
    bool awaitUnmapped(xcb_window_t window, Clock::time_point deadline) {
        while (windows_.count(window) && windows_[window].viewable) {
            xcb_generic_event_t* event = next(deadline);
            if (!event) return false;
            handle(event, Clock::now());
        }
        return true;
    }

private:
    struct Painted {
        // The bounding box of what was drawn since the map.
        int left = kWidth, top = kHeight, right = 0, bottom = 0;
        std::optional<Clock::time_point> coveredAt;
    };
    struct Watched {
        bool viewable = false;
        bool missedStart = false;
        Painted painted;
    };

    void watch(xcb_window_t window) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, window, XCB_CW_EVENT_MASK, &mask);
        DamageCreate create{};
        create.length = 4;
        create.damage = xcb_generate_id(c_);
        create.drawable = window;
        create.level = kRawRectangles;
        sendDamageRequest(c_, 1, create, false);
        // Made before the window manager could map it, or the opening is not seen whole.
        auto* attributes = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, window), nullptr);
        Watched& watched = windows_[window];
        watched.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        if (watched.viewable) {
            watched.missedStart = true;
            mapped_ = window;
            mappedAt_ = Clock::now();
        }
        std::free(attributes);
    }

    void handle(xcb_generic_event_t* event, Clock::time_point at) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (!created->override_redirect && created->width == kWidth && created->height == kHeight) {
                watch(created->window);
            }
        } else if (type == XCB_MAP_NOTIFY) {
            auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (windows_.count(map->window) && map->event == map->window) {
                windows_[map->window].viewable = true;
                windows_[map->window].missedStart = false;
                windows_[map->window].painted = {};
                mapped_ = map->window;
                mappedAt_ = at;
            }
        } else if (type == XCB_UNMAP_NOTIFY) {
            auto* unmap = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
            if (windows_.count(unmap->window) && unmap->event == unmap->window) windows_[unmap->window].viewable = false;
        } else if (type == XCB_DESTROY_NOTIFY) {
            auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
            if (destroyed->event == destroyed->window) windows_.erase(destroyed->window);
        } else if (type == damageEvent_) {
            auto* damage = reinterpret_cast<DamageNotify*>(event);
            const auto found = windows_.find(damage->drawable);
            if (found != windows_.end() && found->second.viewable) {
                Painted& painted = found->second.painted;
                painted.left = std::min<int>(painted.left, damage->x);
                painted.top = std::min<int>(painted.top, damage->y);
                painted.right = std::max<int>(painted.right, damage->x + damage->width);
                painted.bottom = std::max<int>(painted.bottom, damage->y + damage->height);
                if (!painted.coveredAt && painted.left <= 0 && painted.top <= 0 && painted.right >= kWidth &&
                    painted.bottom >= kHeight) {
                    painted.coveredAt = at;
                }
            }
        }
        std::free(event);
    }

    xcb_generic_event_t* next(Clock::time_point deadline) {
        for (;;) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(c_)) return event;
            if (xcb_connection_has_error(c_)) return nullptr;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return nullptr;
            pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
            ::poll(&fd, 1, int(left));
        }
    }

    xcb_connection_t* c_;
    std::uint8_t damageEvent_ = 0;
    std::map<xcb_window_t, Watched> windows_;
    std::optional<xcb_window_t> mapped_;
    Clock::time_point mappedAt_;
};

// A request sent on the instance's socket, as a later start sends it; the reply is read later.
class InstanceRequestSocket {
public:
    InstanceRequestSocket(const fs::path& socket, const std::string& url) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot reach the program's socket");
        }
        const std::string line = InstanceMessage::encode(InstanceRequest{{url}, {}});
        if (::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size())) {
            throw std::runtime_error("cannot send the request");
        }
    }
    ~InstanceRequestSocket() { ::close(fd_); }
    // Waits for the reply line (the instance answers once it has run the request).
    bool answered(Clock::time_point deadline) {
        std::string got;
        while (got.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd fd{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&fd, 1, int(left)) <= 0) return false;
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return false;
            got.append(buffer, std::size_t(n));
        }
        return true;
    }

private:
    int fd_;
};

class Desk {
public:
    Desk() {
        VirtualDesktop::Options options;
        options.tray = true;
        desktop_ = std::make_unique<VirtualDesktop>(options);
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        fs::create_directories(fs::path(desktop_->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
        watcher_ = std::make_unique<PaintWatcher>(desktop_->display());
    }

    bool start() {
        auto environment = desktop_->environment();
        environment.push_back("QT_QPA_PLATFORM=xcb");
        ChildProcess::Options bare;
        bare.arguments = {TESSARY_BARE_SETTINGS};
        bare.environment = environment;
        bare.pipeStdin = true;
        bare.pipeStdout = true;
        bare_ = ChildProcess::start(bare);
        if (bare_.readLine(Clock::now() + 20s) != "ready") return false;
        ChildProcess::Options ours;
        ours.arguments = {programPath()};
        ours.environment = environment;
        ours.discardStdout = true;
        program_ = ChildProcess::start(ours);
        socket_ = fs::path(desktop_->runtimeDirectory()) / "tessary" /
                  ("local-" + desktop_->display().substr(1) + ".socket");
        return waitUntil([&] { return fs::exists(socket_); }, Clock::now() + 20s);
    }

    // Opens the program's settings window or the bare one, and closes it again once it is drawn and
    // both programs are idle; what the watcher saw of the opening.
    std::optional<PaintWatcher::Opening> openAndClose(bool program) {
        awaitIdle(program_.pid());
        awaitIdle(bare_.pid());
        watcher_->drain();
        watcher_->reset();
        const auto requested = Clock::now();
        std::optional<InstanceRequestSocket> request;
        if (program) {
            request.emplace(socket_, "tessary://settings");
        } else if (!bare_.writeLine("show")) {
            return std::nullopt;
        }
        bool whole = false;
        const auto opening = watcher_->awaitOpening(requested, Clock::now() + 10s, whole);
        if (request && !request->answered(Clock::now() + 10s)) return std::nullopt;
        if (!opening) return std::nullopt;
        awaitIdle(program ? program_.pid() : bare_.pid());
        closeLikeTheWindowManager(*platform_, opening->window);
        if (!watcher_->awaitUnmapped(opening->window, Clock::now() + 10s)) return std::nullopt;
        if (!whole) return std::nullopt;
        return opening;
    }

    long ownMemory(bool program) const { return settledOwnMemory(program ? program_.pid() : bare_.pid()); }

private:
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::unique_ptr<PaintWatcher> watcher_;
    ChildProcess bare_;
    ChildProcess program_;
    fs::path socket_;
};

double mebibytes(long kilobytes) { return double(kilobytes) / 1024.0; }

void BM_SettingsOpenedAgain(benchmark::State& state) {
    for (auto _ : state) {
        Desk desk;
        if (!desk.start()) {
            state.SkipWithError("the programs did not start");
            return;
        }
        // Each program's openings: the first ones apart, then the rounds.
        std::map<bool, std::vector<PaintWatcher::Opening>> first, later;
        int missed = 0;
        const auto take = [&](bool program, bool warmUp) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (auto opening = desk.openAndClose(program)) {
                    (warmUp ? first : later)[program].push_back(*opening);
                    return true;
                }
                ++missed;
            }
            return false;
        };
        for (int i = 0; i < kWarmUp; ++i) {
            if (!take(true, true) || !take(false, true)) {
                state.SkipWithError("a window did not open and close");
                return;
            }
        }
        for (int round = 0; round < kRounds; ++round) {
            const bool programFirst = round % 2 == 0;
            if (!take(programFirst, false) || !take(!programFirst, false)) {
                state.SkipWithError("a window did not open and close");
                return;
            }
        }
        const long ownAfter = desk.ownMemory(true), bareAfter = desk.ownMemory(false);

        const auto figures = [&](bool program, double PaintWatcher::Opening::*field) {
            std::vector<double> values;
            for (const auto& opening : later[program]) values.push_back(opening.*field);
            return values;
        };
        const bench::Spread ourPaint = bench::spreadOf(figures(true, &PaintWatcher::Opening::painted));
        const bench::Spread barePaint = bench::spreadOf(figures(false, &PaintWatcher::Opening::painted));
        const bench::Spread ourMap = bench::spreadOf(figures(true, &PaintWatcher::Opening::mapped));
        const bench::Spread bareMap = bench::spreadOf(figures(false, &PaintWatcher::Opening::mapped));
        const double load = bench::machineLoad();
        std::printf("\n%s: %d openings each after %d of warm-up, interleaved; load %.1f; %d openings not seen whole, "
                    "taken again\n| figure (ms) | program: median (quartiles) | bare Qt window: median (quartiles) | "
                    "ratio of medians |\n|---|---|---|---|\n",
                    programPath().c_str(), kRounds, kWarmUp, load, missed);
        const auto row = [](const char* name, const bench::Spread& ours, const bench::Spread& bare) {
            std::printf("| %s | %.1f (%.1f-%.1f) | %.1f (%.1f-%.1f) | %.2fx |\n", name, ours.median, ours.low, ours.high,
                        bare.median, bare.low, bare.high, ours.median / bare.median);
        };
        row("request to mapped", ourMap, bareMap);
        row("request to painted", ourPaint, barePaint);
        std::printf("| first opening, painted | %.1f | %.1f | |\n", first[true].front().painted,
                    first[false].front().painted);
        std::printf("| own memory after the last close (MiB) | %.1f | %.1f | %.2fx |\n\n", mebibytes(ownAfter),
                    mebibytes(bareAfter), double(ownAfter) / double(bareAfter));
        std::fflush(stdout);

        bench::reportSpread(state, "painted_ms", figures(true, &PaintWatcher::Opening::painted));
        bench::reportSpread(state, "bare_painted_ms", figures(false, &PaintWatcher::Opening::painted));
        state.counters["ratio"] = ourPaint.median / barePaint.median;
        state.counters["own_after_close_MiB"] = mebibytes(ownAfter);
        state.counters["bare_own_after_close_MiB"] = mebibytes(bareAfter);
        bench::reportLoad(state);
    }
}

BENCHMARK(BM_SettingsOpenedAgain)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
