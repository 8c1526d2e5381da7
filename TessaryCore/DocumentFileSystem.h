#pragma once

// The few file operations the document store needs, behind an interface so that tests can make a
// file fail in ways the real file system will not on demand (an I/O error on read, a full disk).

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "TessaryCore/Expected.h"

namespace tessary {

class DocumentFileSystem {
public:
    virtual ~DocumentFileSystem() = default;

    // The whole file; nothing when no file exists at the path; the error when it exists but cannot
    // be read (permissions, a folder in its place, an I/O error).
    virtual Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path& path) = 0;
    // Creates the folder and every missing parent; an existing folder is no error.
    virtual std::error_code createDirectories(const std::filesystem::path& folder) = 0;
    // Replaces the file as a whole or not at all: the bytes go to a temporary file in the same
    // folder, which is flushed to the disk and renamed over the target. A symbolic link is followed,
    // so that the file it names is replaced (or created, when the link dangles) and the link stays.
    virtual std::error_code writeAtomically(const std::filesystem::path& path, std::string_view bytes) = 0;
    // Deletes what saves of this file that were cut short (a crash, a kill) left behind: temporary
    // files of writeAtomically's own naming, older than a minute and not being written. Nothing
    // else is touched.
    virtual void removeStaleTemporaries(const std::filesystem::path& /*path*/) {}

    // The real file system (POSIX).
    static std::shared_ptr<DocumentFileSystem> standard();
};

// The real file system; tests derive from it to inject failures into single operations.
class PosixDocumentFileSystem : public DocumentFileSystem {
public:
    Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path& path) override;
    std::error_code createDirectories(const std::filesystem::path& folder) override;
    std::error_code writeAtomically(const std::filesystem::path& path, std::string_view bytes) override;
    void removeStaleTemporaries(const std::filesystem::path& path) override;

    // The file a path names once symbolic links are followed (a relative link against the link's
    // folder); the file itself need not exist.
    static Expected<std::filesystem::path, std::error_code> resolveLinks(const std::filesystem::path& path);
    // Whether a name is one of writeAtomically's temporaries for the file named `target`.
    static bool isTemporaryName(std::string_view name, std::string_view target);
};

// The error of a read that finds something other than a regular file (a pipe, a device, a socket).
std::error_code notARegularFileError();

}  // namespace tessary
