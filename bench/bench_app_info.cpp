// The application look-ups of the settings panes: an index built once when a pane, menu or picker
// opens, then a row's name and icon per look-up. Over 1,000 installed entries.
// References in the same run: reading the same 1,000 .desktop files without parsing them (the
// floor of any index that comes from the disk), and finding a row's entry by a linear scan (what
// each row would cost without the index).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdlib>
#include <system_error>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Platform/Linux/DesktopApplicationLauncher.h"
#include "Tessary/settings/AppInfo.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

constexpr int entryCount = 1000;

// 1,000 entries in a data folder of their own, made once for the program.
const fs::path& dataFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "tessary-bench-XXXXXX").string();
        fs::path made = ::mkdtemp(pattern.data());
        fs::create_directories(made / "applications");
        for (int i = 0; i < entryCount; ++i) {
            std::ofstream(made / "applications" / ("org.example.App" + std::to_string(i) + ".desktop"))
                << "[Desktop Entry]\nType=Application\nName=Application " << i << "\nName[de]=Anwendung " << i
                << "\nIcon=app-" << i << "\nExec=app" << i << " %U\nStartupWMClass=App" << i << "\n";
        }
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(dataFolder(), ignored);
        });
        return made;
    }();
    return folder;
}

DesktopApplicationLauncher launcher() {
    return DesktopApplicationLauncher(
        [](const char* name) -> std::optional<std::string> {
            const std::string key = name;
            if (key == "XDG_DATA_HOME" || key == "XDG_DATA_DIRS") return dataFolder().string();
            if (key == "HOME") return "/nonexistent";
            return std::nullopt;
        },
        [](const std::vector<std::string>&, const std::optional<fs::path>&) { return false; });
}

void BM_BuildIndexFrom1000Entries(benchmark::State& state) {
    const DesktopApplicationLauncher source = launcher();
    for (auto _ : state) {
        AppInfo info(source.installedApplications(), {});
        benchmark::DoNotOptimize(info.installed().data());
    }
}
BENCHMARK(BM_BuildIndexFrom1000Entries)->Unit(benchmark::kMillisecond);

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

}  // namespace
