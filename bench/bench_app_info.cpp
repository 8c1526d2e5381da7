// The application look-ups: the settings panes' index built once when a pane, menu or picker opens,
// then a row's name and icon per look-up; and the window filter every press, snap and new window
// runs, which asks which installed application a window belongs to. Over 1,000 installed entries.
// References in the same run: reading the same 1,000 .desktop files without parsing them (the
// floor of any index that comes from the disk), finding a row's entry by a linear scan (what
// each row would cost without the index), the filter as it was when excluded identifiers were
// compared with the window's class alone, and one stat() of the applications folder.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/AppInfo.h"
#include "bench/BenchApplications.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

using bench::installedCount;
constexpr int entryCount = installedCount;

DesktopApplicationLauncher launcher() { return bench::installedApplications(); }

const fs::path& dataFolder() { return bench::applicationsDataFolder(); }

// A launcher of its own each time: the files are read (at the first look-up, and after a change).
void BM_BuildIndexFrom1000Entries(benchmark::State& state) {
    for (auto _ : state) {
        AppInfo info(launcher().installedApplications(), {});
        benchmark::DoNotOptimize(info.installed().data());
    }
}
BENCHMARK(BM_BuildIndexFrom1000Entries)->Unit(benchmark::kMillisecond);

// The launcher has read them: a pane or menu opened later.
void BM_BuildIndexFromEntriesAlreadyRead(benchmark::State& state) {
    const DesktopApplicationLauncher source = launcher();
    for (auto _ : state) {
        AppInfo info(source.installedApplications(), {});
        benchmark::DoNotOptimize(info.installed().data());
    }
}
BENCHMARK(BM_BuildIndexFromEntriesAlreadyRead)->Unit(benchmark::kMillisecond);

void BM_Reference_ReadThe1000Files(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const auto& file : fs::directory_iterator(dataFolder() / "applications")) {
            std::ifstream in(file.path());
            bytes += std::string(std::istreambuf_iterator<char>(in), {}).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_Reference_ReadThe1000Files)->Unit(benchmark::kMillisecond);

const AppInfo& index() {
    static const AppInfo info(launcher().installedApplications(), {});
    return info;
}

void BM_RowNameAndIcon(benchmark::State& state) {
    const AppInfo& info = index();
    int i = 0;
    for (auto _ : state) {
        const std::string id = "App" + std::to_string(i++ % entryCount);
        benchmark::DoNotOptimize(info.appDisplayName(id));
        benchmark::DoNotOptimize(info.icon(id));
    }
}
BENCHMARK(BM_RowNameAndIcon);

void BM_Reference_RowByLinearScan(benchmark::State& state) {
    const std::vector<InstalledApplication>& entries = index().installed();
    int i = 0;
    for (auto _ : state) {
        const std::string id = "App" + std::to_string(i++ % entryCount);
        for (const InstalledApplication& entry : entries) {
            if (entry.bundleIdentifier == id) {
                benchmark::DoNotOptimize(entry.name);
                benchmark::DoNotOptimize(entry.icon);
                break;
            }
        }
    }
}
BENCHMARK(BM_Reference_RowByLinearScan);

// The window filter as the program runs it: the installed applications as they are now (one stat
// of the folder), then five excluded identifiers against a window told by the program its entry
// runs (the longest way through the rules), excluded under its entry's id.
void BM_WindowFilterOverTheInstalledApplications(benchmark::State& state) {
    const DesktopApplicationLauncher source = launcher();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    preferences.setExcludedBundleIDs({"Gimp", "org.example.App3", "firefox", "Steam", "org.example.App501"});
    WindowInfo window;
    window.bundleIdentifier = "App501";
    window.instanceName = "app501";
    window.isStandard = true;
    for (auto _ : state) {
        const auto installed = source.applicationIndex();
        benchmark::DoNotOptimize(preferences.isIgnoredWindow(window, *installed));
    }
    if (!preferences.isIgnoredWindow(window, *source.applicationIndex())) state.SkipWithError("the window was not excluded");
}
BENCHMARK(BM_WindowFilterOverTheInstalledApplications);

void BM_Reference_WindowFilterByClassAlone(benchmark::State& state) {
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    preferences.setExcludedBundleIDs({"Gimp", "org.example.App3", "firefox", "Steam", "App501"});
    WindowInfo window;
    window.bundleIdentifier = "App501";
    window.isStandard = true;
    for (auto _ : state) benchmark::DoNotOptimize(preferences.isIgnoredWindow(window));
}
BENCHMARK(BM_Reference_WindowFilterByClassAlone);

// The name a notice gives a window ("Application 501 needs ..."): once per failed snap or drag hint.
void BM_NameOfAWindowsApplication(benchmark::State& state) {
    const DesktopApplicationLauncher source = launcher();
    const WindowApplication window{"App501", "app501", ""};
    for (auto _ : state) {
        const InstalledApplication* entry = source.applicationIndex()->entryFor(window);
        benchmark::DoNotOptimize(entry);
    }
}
BENCHMARK(BM_NameOfAWindowsApplication);

void BM_Reference_StatTheApplicationsFolder(benchmark::State& state) {
    const std::string folder = (dataFolder() / "applications").string();
    for (auto _ : state) {
        struct stat info {};
        benchmark::DoNotOptimize(::stat(folder.c_str(), &info));
    }
}
BENCHMARK(BM_Reference_StatTheApplicationsFolder);

}  // namespace
