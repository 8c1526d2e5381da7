// The Rules pane opened over a long list of rules, on a real desktop (Xvfb split into two monitors,
// openbox): the time from `tessary settings-test open rules` until the settings window is drawn
// whole (the X DAMAGE extension's notices, as another connection sees them) and the instance then
// answers a further request, which it reads only once the opening's work is done. A program that
// stalls while it builds or paints the list answers nothing else meanwhile: no snap, shortcut or
// command.
//
// The reference, in the same run, is the same program over five rules on a desktop of its own. The
// two are interleaved, each round in the other order, and each opening waits until both programs
// have been idle for 100 ms. The first openings (fonts, icons and the window made for the first
// time) are given apart and left out of the medians. Own memory (anonymous and shared resident
// memory) is read with the pane open after the last round.
//
// One iteration per list length: the figures are the counters (milliseconds, MiB), and a table is
// printed with the machine's load. BENCH_PROGRAM runs another build of the program (an earlier one,
// to compare).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/X11/X11Platform.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/RuleSet.h"
#include "bench/BenchBuild.h"
#include "bench/BenchProgram.h"
#include "bench/BenchStatistics.h"
#include "bench/InstanceRequestSocket.h"
#include "bench/PaintWatcher.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

using namespace tessary;
using namespace tessary::e2e;
using tessary::bench::InstanceRequestSocket;
using tessary::bench::PaintWatcher;
namespace fs = std::filesystem;

namespace {

constexpr int kWarmUp = 1;
constexpr int kRounds = 7;
constexpr int kReferenceRules = 5;
// The settings window's size.
constexpr int kWidth = 860, kHeight = 580;
// An opening the program never finishes is given up after this long.
constexpr auto kPatience = 600s;

// Rules as a user's collection has them: two hundred applications, some with a title pattern, some
// on a named display, some paused.
RuleSet rulesOf(int count) {
    RuleSet set;
    set.rules.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        std::optional<std::string> pattern;
        if (i % 3 == 0) pattern = "^Document " + std::to_string(i) + " \u2014";
        std::optional<std::string> display;
        if (i % 5 == 0) display = "6F1B3C2A-9D4E-4F00-8A11-0C0FFEE00100";
        set.rules.emplace_back(UUID::random(), i % 7 != 0, "org.example.Application" + std::to_string(i % 200), pattern,
                               display, std::vector<std::int64_t>{i % 4, (i + 1) % 4}, Date(763637213.589 + i));
    }
    return set;
}

// One desktop with the program over `rules` rules.
class Desk {
public:
    explicit Desk(int rules) {
        desktop_ = std::make_unique<VirtualDesktop>();
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        fs::create_directories(fs::path(desktop_->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
        const fs::path data = fs::path(desktop_->dataHome()) / "Tessary";
        fs::create_directories(data);
        std::ofstream(data / "rules.json") << JSONDocumentStore<RuleSet>::encode(rulesOf(rules)).value();
        watcher_ = std::make_unique<PaintWatcher>(desktop_->display(), kWidth, kHeight);
    }

    bool start() {
        ChildProcess::Options ours;
        ours.arguments = {bench::programUnderTest(TESSARY_PROGRAM)};
        ours.environment = desktop_->environment();
        ours.environment.push_back("QT_QPA_PLATFORM=xcb");
        // The test-only verbs: `settings-test open rules` is how the pane is asked for.
        ours.environment.push_back("TESSARY_E2E=1");
        ours.discardStdout = true;
        program_ = ChildProcess::start(ours);
        socket_ = fs::path(desktop_->runtimeDirectory()) / "tessary" /
                  ("local-" + desktop_->display().substr(1) + ".socket");
        return waitUntil([&] { return fs::exists(socket_); }, Clock::now() + 60s);
    }

    pid_t pid() const { return program_.pid(); }

    // Milliseconds from the request to the answer that follows the window drawn whole; nothing when
    // the window did not open, draw and close within the patience.
    std::optional<double> openAndClose() {
        watcher_->drain();
        watcher_->reset();
        const auto requested = Clock::now();
        const auto deadline = requested + kPatience;
        InstanceRequestSocket open(socket_, {"settings-test", "open", "rules"});
        bool whole = false;
        const auto opening = watcher_->awaitOpening(requested, deadline, whole);
        if (!opening || !open.answered(deadline)) return std::nullopt;
        InstanceRequestSocket again(socket_, {"settings-test", "pane"});
        if (!again.answered(deadline)) return std::nullopt;
        const double answered = std::chrono::duration<double, std::milli>(Clock::now() - requested).count();
        awaitIdle(pid());
        if (measureMemory) ownWithPane = settledOwnMemory(pid());
        closeLikeTheWindowManager(*platform_, opening->window);
        if (!watcher_->awaitUnmapped(opening->window, Clock::now() + 30s) || !whole) return std::nullopt;
        return answered;
    }

    bool measureMemory = false;
    long ownWithPane = 0;

private:
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::unique_ptr<PaintWatcher> watcher_;
    ChildProcess program_;
    fs::path socket_;
};

double mebibytes(long kilobytes) { return double(kilobytes) / 1024.0; }

void BM_RulesPaneOpened(benchmark::State& state) {
    const int count = int(state.range(0));
    // A sanitised or Debug program would take its figures for the list's.
    if (auto refusal = bench::buildRefusal(bench::programUnderTest(TESSARY_PROGRAM))) {
        state.SkipWithError(refusal->c_str());
        return;
    }
    for (auto _ : state) {
        Desk many(count), few(kReferenceRules);
        if (!many.start() || !few.start()) {
            state.SkipWithError("the programs did not start");
            return;
        }
        std::map<bool, std::vector<double>> first, later;
        int missed = 0;
        const auto take = [&](bool isMany, bool warmUp, bool lastRound) {
            Desk& desk = isMany ? many : few;
            desk.measureMemory = lastRound;
            awaitIdle(many.pid());
            awaitIdle(few.pid());
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (auto answered = desk.openAndClose()) {
                    (warmUp ? first : later)[isMany].push_back(*answered);
                    return true;
                }
                ++missed;
            }
            return false;
        };
        for (int i = 0; i < kWarmUp; ++i) {
            if (!take(true, true, false) || !take(false, true, false)) {
                state.SkipWithError("the Rules pane did not open and close");
                return;
            }
        }
        for (int round = 0; round < kRounds; ++round) {
            const bool manyFirst = round % 2 == 0;
            const bool last = round == kRounds - 1;
            if (!take(manyFirst, false, last) || !take(!manyFirst, false, last)) {
                state.SkipWithError("the Rules pane did not open and close");
                return;
            }
        }
        const long ownAfter = settledOwnMemory(many.pid()), referenceAfter = settledOwnMemory(few.pid());

        const bench::Spread ours = bench::spreadOf(later[true]);
        const bench::Spread reference = bench::spreadOf(later[false]);
        std::printf("\n%s, %d rules: %d openings each after %d of warm-up, interleaved; load %.1f; %d openings taken "
                    "again\n| figure | %d rules | %d rules | ratio |\n|---|---|---|---|\n",
                    bench::programUnderTest(TESSARY_PROGRAM).c_str(), count, kRounds, kWarmUp, bench::machineLoad(),
                    missed, count, kReferenceRules);
        std::printf("| request to answered, ms: median (quartiles) | %.1f (%.1f-%.1f) | %.1f (%.1f-%.1f) | %.2fx |\n",
                    ours.median, ours.low, ours.high, reference.median, reference.low, reference.high,
                    ours.median / reference.median);
        std::printf("| first opening, ms | %.1f | %.1f | |\n", first[true].front(), first[false].front());
        std::printf("| own memory with the pane open (MiB) | %.1f | %.1f | %.2fx |\n", mebibytes(many.ownWithPane),
                    mebibytes(few.ownWithPane), double(many.ownWithPane) / double(few.ownWithPane));
        std::printf("| own memory after the last close (MiB) | %.1f | %.1f | %.2fx |\n\n", mebibytes(ownAfter),
                    mebibytes(referenceAfter), double(ownAfter) / double(referenceAfter));
        std::fflush(stdout);

        bench::reportSpread(state, "answered_ms", later[true]);
        bench::reportSpread(state, "reference_answered_ms", later[false]);
        state.counters["ratio"] = ours.median / reference.median;
        state.counters["first_answered_ms"] = first[true].front();
        state.counters["reference_first_answered_ms"] = first[false].front();
        state.counters["own_with_pane_MiB"] = mebibytes(many.ownWithPane);
        state.counters["reference_own_with_pane_MiB"] = mebibytes(few.ownWithPane);
        state.counters["own_after_close_MiB"] = mebibytes(ownAfter);
        state.counters["reference_own_after_close_MiB"] = mebibytes(referenceAfter);
        bench::reportLoad(state);
    }
}

BENCHMARK(BM_RulesPaneOpened)->Arg(10000)->Arg(60000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
