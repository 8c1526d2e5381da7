// The tray menu is built from nothing at every opening: model and widgets for three displays and
// a 40-layout library (the argument; also 10, 100 and 1,000) must be ready well within a frame
// (16.7 ms). Reference: an empty QMenu filled with as many plain actions as the 40-layout menu has
// items and tiles, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMenu>

#include "Tessary/shell/ui/StatusItemController.h"

using namespace tessary;

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

StatusMenuInputs inputs(int layouts) {
    StatusMenuInputs inputs;
    for (std::uint32_t i = 0; i < 3; ++i) {
        DisplayInfo display;
        display.displayID = i + 1;
        display.identifier = "DISPLAY-" + std::to_string(i);
        display.localizedName = "Display " + std::to_string(i + 1);
        display.frame = display.workArea = Rect(1920.0 * i, 0, 1920, 1080);
        inputs.displays.push_back(display);
    }
    for (int i = 0; i < layouts; ++i) {
        inputs.library.layouts.emplace_back(LayoutTemplate::allCases[i % 5], 2 + i % 7, "Layout " + std::to_string(i));
    }
    for (int i = 0; i < 5; ++i) {
        Workspace workspace;
        workspace.id = UUID::random();
        workspace.name = "Workspace " + std::to_string(i + 1);
        inputs.workspaces.workspaces.push_back(workspace);
    }
    return inputs;
}

void StatusMenuRebuild(benchmark::State& state) {
    application();
    const StatusMenuInputs data = inputs(int(state.range(0)));
    StatusItemController controller({[&] { return data; }, {}, {}, {}});
    for (auto _ : state) {
        controller.rebuildMenu();
        benchmark::DoNotOptimize(controller.menu()->actions().size());
    }
}
BENCHMARK(StatusMenuRebuild)->Arg(40)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void ReferencePlainMenuOfSameLength(benchmark::State& state) {
    application();
    QMenu menu;
    for (auto _ : state) {
        menu.clear();
        for (int i = 0; i < 3 * 40 + 30; ++i) menu.addAction(QStringLiteral("Item %1").arg(i));
        benchmark::DoNotOptimize(menu.actions().size());
    }
}
BENCHMARK(ReferencePlainMenuOfSameLength)->Unit(benchmark::kMillisecond);

}  // namespace
