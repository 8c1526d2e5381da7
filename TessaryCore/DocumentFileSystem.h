#pragma once

// The few file operations the document store needs, behind an interface so that tests can make a
// file fail in ways the real file system will not on demand (an I/O error on read, a full disk).
//
// Reads stop at maximumFileSize: the program writes nothing near it, so a file past it is no
// document of ours (or one grown beyond use), and reading it whole would take the program's memory.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "TessaryCore/Expected.h"

namespace tessary {

// What tells one version of a file from another without reading it: the file (its device and
// inode: an atomic save makes a new one), its size and its last modification (to the nanosecond).
// Two equal stamps are taken for the same bytes; a file edited in place at the same size within
// one tick of the file system's clock would pass unseen, which no program of ours does.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uintmax_t size = 0;
    std::int64_t modifiedNanoseconds = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// A folder's exclusive lock, held while this lives; holding nothing when it could not be taken.
class FolderLock {
public:
    FolderLock() = default;
    explicit FolderLock(int descriptor) : descriptor_(descriptor) {}
    FolderLock(FolderLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    bool isHeld() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

class DocumentFileSystem {
public:
    // Far above what the program writes (a 400-placement memory is some 100 kB, thousands of
    // workspaces a few MB); the sync folder's values have the same limit.
    static constexpr std::uintmax_t maximumFileSize = 16 * 1024 * 1024;

    virtual ~DocumentFileSystem() = default;

    // The whole file; nothing when no file exists at the path; the error when it exists but cannot
    // be read (permissions, a folder in its place, an I/O error; file_too_large past maximumFileSize,
    // found before anything is read).
    virtual Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path& path) = 0;
    // The stamp of the file at the path (symbolic links followed); nothing when no file is there; an
    // error when it cannot be told, and then the caller reads the file to know.
    virtual Expected<std::optional<FileStamp>, std::error_code> stampOf(const std::filesystem::path& /*path*/) {
        return unexpected(std::make_error_code(std::errc::function_not_supported));
    }
    // Creates the folder and every missing parent; an existing folder is no error.
    virtual std::error_code createDirectories(const std::filesystem::path& folder) = 0;
    // Replaces the file as a whole or not at all: the bytes go to a temporary file in the same
    // folder, which is flushed to the disk and renamed over the target. A symbolic link is followed,
    // so that the file it names is replaced (or created, when the link dangles) and the link stays.
    // `written`, when given, receives the stamp of the file written, or nothing when it is not known.
    virtual std::error_code writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                            std::optional<FileStamp>* written = nullptr) = 0;
    // Deletes what saves of this file that were cut short (a crash, a kill) left behind: temporary
    // files of writeAtomically's own naming, older than a minute and not being written. Nothing
    // else is touched.
    virtual void removeStaleTemporaries(const std::filesystem::path& /*path*/) {}
    // Takes the folder's exclusive lock, so that two processes sharing the folder (two instances of
    // the program on one home) read, merge and write its files one after the other. Waits at most
    // `patience` for the other to finish, then goes on without it, as it does where the folder
    // cannot be opened or its file system has no such locks: a lock is no reason to lose a save.
    virtual FolderLock lockFolder(const std::filesystem::path& /*folder*/, std::chrono::milliseconds /*patience*/) {
        return {};
    }

    // The real file system (POSIX).
    static std::shared_ptr<DocumentFileSystem> standard();
};

// The real file system; tests derive from it to inject failures into single operations.
class PosixDocumentFileSystem : public DocumentFileSystem {
public:
    Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path& path) override;
    Expected<std::optional<FileStamp>, std::error_code> stampOf(const std::filesystem::path& path) override;
    std::error_code createDirectories(const std::filesystem::path& folder) override;
    // The stamp is the temporary's, taken before the rename: a file another put in place since is
    // never taken for this one.
    std::error_code writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                    std::optional<FileStamp>* written = nullptr) override;
    void removeStaleTemporaries(const std::filesystem::path& path) override;
    // flock on the folder itself: no file of its own in the user's folder.
    FolderLock lockFolder(const std::filesystem::path& folder, std::chrono::milliseconds patience) override;

    // The file a path names once symbolic links are followed (a relative link against the link's
    // folder); the file itself need not exist.
    static Expected<std::filesystem::path, std::error_code> resolveLinks(const std::filesystem::path& path);
    // Whether a name is one of writeAtomically's temporaries for the file named `target`.
    static bool isTemporaryName(std::string_view name, std::string_view target);
};

// The error of a read that finds something other than a regular file (a pipe, a device, a socket).
std::error_code notARegularFileError();

// Where the bytes of a damaged file were kept.
struct SetAsideCopy {
    std::filesystem::path path;
    // False when the copy held these very bytes already: the same damage, met again.
    bool isNew = true;
};

// How many earlier copies of a damaged file are kept beside the newest one.
inline constexpr std::size_t keptEarlierCopies = 5;

// Keeps the bytes of the damaged file at `path` beside it, in NAME.unreadable. An earlier copy there
// that holds other bytes (an earlier damage, perhaps the only trace of the user's own data) is never
// replaced: it is first renamed to NAME.unreadable-YYYYMMDDTHHMMSSZ, the time it was set aside.
// Of the renamed copies the oldest and the newest stay, keptEarlierCopies in all. Anything but a
// regular file at NAME.unreadable is left alone, and the copy fails.
Expected<SetAsideCopy, std::error_code> setAsideDamaged(DocumentFileSystem& files, const std::filesystem::path& path,
                                                        std::string_view bytes);

}  // namespace tessary
