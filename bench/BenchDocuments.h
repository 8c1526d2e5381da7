#pragma once

// The documents the benchmarks load and save: as large as the budgets name them.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/WindowPlacementMemory.h"

namespace tessary::bench {

// Keeps the document's bytes: the save's encoding without the disk.
class MemoryFileSystem final : public DocumentFileSystem {
public:
    Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path& path) override {
        const auto found = files_.find(path);
        if (found == files_.end()) return std::optional<std::string>();
        return std::optional<std::string>(found->second);
    }
    std::error_code createDirectories(const std::filesystem::path&) override { return {}; }
    std::error_code writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                    std::optional<FileStamp>*) override {
        files_[path].assign(bytes);
        return {};
    }

private:
    std::map<std::filesystem::path, std::string> files_;
};

// 400 window placements of 40 applications.
inline WindowPlacementMemory fullMemory() {
    WindowPlacementMemory memory;
    const UUID layout = UUID::random();
    for (int i = 0; i < 400; ++i) {
        const std::string app = "org.example.Application" + std::to_string(i % 40);
        const std::string title = "Document " + std::to_string(i) + " \xE2\x80\x94 a typical window title";
        memory.record(WindowPlacement("6F1B3C2A-9D4E-4F00-8A11-0C0FFEE00" + std::to_string(100 + i % 3) +
                                          "@2560x1415",
                                      layout, {i % 4, (i + 1) % 4}, Date(763637213.589 + i)),
                      app, title);
    }
    return memory;
}

// `count` layouts (100 unless told): every preset, then templates of every kind and size, with
// assignments and tombstones.
inline LayoutLibrary hundredLayouts(std::size_t count = 100) {
    LayoutLibrary library = LayoutLibrary::starter();
    for (const LayoutPreset& preset : LayoutPreset::all()) library.layouts.push_back(preset.makeLayout());
    for (std::int64_t n = 1; library.layouts.size() < count; ++n) {
        for (const LayoutTemplate t : LayoutTemplate::allCases) {
            if (library.layouts.size() < count) library.layouts.emplace_back(t, n % 9 + 1);
        }
    }
    for (std::size_t d = 0; d < 8; ++d) {
        std::string display = "DISPLAY-";
        display += std::to_string(d);
        library.assign(library.layouts[d * 7].id, DisplayKey(display, 2560, 1440));
    }
    for (int t = 0; t < 20; ++t) library.deleteLayout(UUID::random(), Date(1000.0 * t));
    return library;
}

}  // namespace tessary::bench
