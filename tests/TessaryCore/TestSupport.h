#pragma once

// What the tests of several folders share: a temporary folder, whole-file reads and writes, a file
// system that fails on demand, and identifiers that read as their number.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/ZoneGrid.h"

// A fresh folder for one test, removed with everything in it afterwards.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessary-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The real file system, counting the documents read and written (by file name), with reads or
// writes made to fail on demand, and stamps it cannot tell on demand.
class FaultyFileSystem : public tessary::PosixDocumentFileSystem {
public:
    tessary::Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path& path) override {
        ++reads[path.filename().string()];
        if (readFault) return tessary::unexpected(readFault);
        return PosixDocumentFileSystem::readFile(path);
    }
    tessary::Expected<std::optional<tessary::FileStamp>, std::error_code> stampOf(const std::filesystem::path& path) override {
        if (noStamps) return tessary::unexpected(std::make_error_code(std::errc::function_not_supported));
        return PosixDocumentFileSystem::stampOf(path);
    }
    std::error_code writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                    std::optional<tessary::FileStamp>* written = nullptr) override {
        ++writes[path.filename().string()];
        if (writeFault) return writeFault;
        return PosixDocumentFileSystem::writeAtomically(path, bytes, written);
    }
    int writeCount() const {
        int count = 0;
        for (const auto& [name, n] : writes) count += n;
        return count;
    }

    std::error_code readFault;
    std::error_code writeFault;
    bool noStamps = false;
    std::map<std::string, int> reads;
    std::map<std::string, int> writes;
};

// 00000000-0000-4000-8000-00000000000N: an identifier whose number shows in failure messages.
inline tessary::UUID idNumber(int n) {
    char text[37];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", n);
    return *tessary::UUID::parsing(text);
}

// A grid taken as given, without validation or renumbering (as a broken file would hold it).
inline tessary::ZoneGrid rawGrid(std::vector<double> rows, std::vector<double> columns,
                                 std::vector<std::vector<std::int64_t>> cells) {
    tessary::ZoneGrid grid;
    grid.rowWeights = std::move(rows);
    grid.columnWeights = std::move(columns);
    grid.cellZones = std::move(cells);
    return grid;
}
