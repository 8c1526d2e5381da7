#pragma once

// 1,000 installed applications in a data folder of the benchmark's own, made once per program: every
// second entry names its window class (StartupWMClass=AppN), the others, as most desktop entries,
// do not (their windows are told by the program their Exec line runs, "appN").

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "Platform/Linux/DesktopApplicationLauncher.h"

namespace tessary::bench {

constexpr int installedCount = 1000;

inline const std::filesystem::path& applicationsDataFolder() {
    namespace fs = std::filesystem;
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "tessary-bench-XXXXXX").string();
        fs::path made = ::mkdtemp(pattern.data());
        fs::create_directories(made / "applications");
        for (int i = 0; i < installedCount; ++i) {
            std::ofstream entry(made / "applications" / ("org.example.App" + std::to_string(i) + ".desktop"));
            entry << "[Desktop Entry]\nType=Application\nName=Application " << i << "\nName[de]=Anwendung " << i
                  << "\nIcon=app-" << i << "\nExec=app" << i << " %U\n";
            if (i % 2 == 0) entry << "StartupWMClass=App" << i << "\n";
        }
        // Installed long ago: the launcher trusts a folder's time a second after it was set.
        fs::last_write_time(made / "applications", fs::file_time_type::clock::now() - std::chrono::hours(1));
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(applicationsDataFolder(), ignored);
        });
        return made;
    }();
    return folder;
}

// The real launcher over those applications alone; it starts nothing.
inline DesktopApplicationLauncher installedApplications() {
    return DesktopApplicationLauncher(
        [](const char* name) -> std::optional<std::string> {
            const std::string key = name;
            if (key == "XDG_DATA_HOME" || key == "XDG_DATA_DIRS") return applicationsDataFolder().string();
            if (key == "HOME") return "/nonexistent";
            return std::nullopt;
        },
        [](const std::vector<std::string>&, const std::optional<std::filesystem::path>&) { return false; });
}

}  // namespace tessary::bench
