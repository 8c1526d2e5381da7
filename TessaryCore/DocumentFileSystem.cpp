#include "TessaryCore/DocumentFileSystem.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {

namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

// A save cut short leaves its temporary behind; one this old is no save in progress.
constexpr auto kStaleTemporaryAge = std::chrono::minutes(1);
// The X's of mkostemp's pattern.
constexpr std::size_t kTemporarySuffixLength = 6;
// As the kernel does, give up on a chain of links that long (a loop).
constexpr int kMaximumLinkHops = 40;

class FileErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "tessary.file"; }
    std::string message(int) const override { return "Not a regular file"; }
};

// Closes the descriptor on every path out; a close error on a written file is reported separately.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::error_code writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

FileStamp stampOfStat(const struct stat& info) {
    return FileStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::uintmax_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Makes a finished rename durable; file systems that cannot sync a folder lose nothing by it.
void syncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

std::error_code notARegularFileError() {
    static const FileErrorCategory category;
    return std::error_code(1, category);
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

FolderLock::~FolderLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

FolderLock PosixDocumentFileSystem::lockFolder(const std::filesystem::path& folder,
                                               std::chrono::milliseconds patience) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return {};
    const auto deadline = std::chrono::steady_clock::now() + patience;
    // The other holds it only while it reads and writes a small file: a few milliseconds.
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return FolderLock(fd.release());
}

std::shared_ptr<DocumentFileSystem> DocumentFileSystem::standard() {
    static const auto instance = std::make_shared<PosixDocumentFileSystem>();
    return instance;
}

Expected<std::optional<std::string>, std::error_code> PosixDocumentFileSystem::readFile(
    const std::filesystem::path& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT) return std::optional<std::string>();
        return unexpected(lastError());
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return unexpected(lastError());
    // Only a regular file is a document: a folder, a pipe or a device in its place is unreadable
    // (and a pipe would block the main loop).
    if (S_ISDIR(info.st_mode)) return unexpected(std::make_error_code(std::errc::is_a_directory));
    if (!S_ISREG(info.st_mode)) return unexpected(notARegularFileError());
    const auto tooLarge = std::make_error_code(std::errc::file_too_large);
    if (static_cast<std::uintmax_t>(info.st_size) > maximumFileSize) return unexpected(tooLarge);

    std::string contents;
    contents.reserve(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return unexpected(lastError());
        }
        if (count == 0) break;
        // A file that grows while it is read is held to the same limit.
        if (contents.size() + static_cast<std::size_t>(count) > maximumFileSize) return unexpected(tooLarge);
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    return std::optional<std::string>(std::move(contents));
}

Expected<std::optional<FileStamp>, std::error_code> PosixDocumentFileSystem::stampOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return std::optional<FileStamp>();
        return unexpected(lastError());
    }
    return std::optional<FileStamp>(stampOfStat(info));
}

std::error_code PosixDocumentFileSystem::createDirectories(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return error;
    if (!std::filesystem::is_directory(folder, error)) {
        return error ? error : std::make_error_code(std::errc::not_a_directory);
    }
    return {};
}

Expected<std::filesystem::path, std::error_code> PosixDocumentFileSystem::resolveLinks(
    const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hop = 0; hop < kMaximumLinkHops; ++hop) {
        struct stat info {};
        // Whatever is not a link (a missing file included) ends the chain; an error of the path
        // itself shows in the operation that uses it.
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current.lexically_normal();
        std::error_code error;
        std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error) return unexpected(error);
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return unexpected(std::make_error_code(std::errc::too_many_symbolic_link_levels));
}

bool PosixDocumentFileSystem::isTemporaryName(std::string_view name, std::string_view target) {
    if (name.size() != target.size() + 2 + kTemporarySuffixLength) return false;
    if (name.front() != '.' || name.substr(1, target.size()) != target || name[target.size() + 1] != '.') return false;
    for (char c : name.substr(target.size() + 2)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::error_code PosixDocumentFileSystem::writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                                         std::optional<FileStamp>* written) {
    if (written) written->reset();
    // Write where a link points (a dotfile manager's), creating the file when the link dangles: a
    // rename over the link itself would replace it with a file.
    auto resolved = resolveLinks(path);
    if (!resolved) return resolved.error();
    const std::filesystem::path target = resolved.value();
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    if (target != path.lexically_normal()) {
        if (const auto code = createDirectories(folder)) return code;
    }

    // A hidden name beside the target, so the rename never crosses file systems.
    std::string hiddenName = ".";
    hiddenName += target.filename().string();
    hiddenName += ".XXXXXX";
    std::string temporary = (folder / hiddenName).string();
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) return lastError();
    // Held until the descriptor closes: tells removeStaleTemporaries that this save is alive.
    ::flock(fd.get(), LOCK_EX | LOCK_NB);

    const auto fail = [&](std::error_code code) {
        ::unlink(temporary.c_str());
        return code;
    };
    // Keep the permissions of the file being replaced; a new document is private to its user.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd.get(), existing.st_mode & 07777);
    }
    if (const auto code = writeAll(fd.get(), bytes)) return fail(code);
    // The data and the size reach the disk before the rename makes them the document.
    if (::fdatasync(fd.get()) != 0) return fail(lastError());
    struct stat info {};
    const bool stamped = written && ::fstat(fd.get(), &info) == 0;
    if (::close(fd.release()) != 0) return fail(lastError());
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(lastError());
    syncFolder(folder);
    if (stamped) *written = stampOfStat(info);
    return {};
}

namespace {

// "20250314T092653Z" for the moment a file was last written, so that copies sort by age by name.
std::string setAsideStamp(const struct stat& info) {
    std::tm utc{};
    const std::time_t seconds = info.st_mtim.tv_sec;
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// The earlier copies of a damaged file, oldest first.
std::vector<std::filesystem::path> earlierCopies(const std::filesystem::path& copy) {
    const std::string prefix = copy.filename().string() + "-";
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(copy.parent_path(), error)) {
        if (entry.path().filename().string().starts_with(prefix) && entry.is_regular_file(error)) {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

Expected<SetAsideCopy, std::error_code> setAsideDamaged(DocumentFileSystem& files, const std::filesystem::path& path,
                                                        std::string_view bytes) {
    std::filesystem::path copy = path;
    copy += ".unreadable";
    struct stat info {};
    if (::stat(copy.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return unexpected(std::make_error_code(std::errc::file_exists));
        const auto earlier = files.readFile(copy);
        if (earlier && earlier.value() && *earlier.value() == bytes) return SetAsideCopy{copy, false};
        // Another damage (or one that cannot be read to compare): it stays, under a name of its own.
        std::filesystem::path renamed = copy;
        renamed += "-" + setAsideStamp(info);
        for (int clash = 2; ::access(renamed.c_str(), F_OK) == 0 && clash < 100; ++clash) {
            renamed = copy;
            renamed += "-" + setAsideStamp(info) + "-" + std::to_string(clash);
        }
        if (::rename(copy.c_str(), renamed.c_str()) != 0) return unexpected(lastError());
        auto kept = earlierCopies(copy);
        // The first damage most likely holds the user's own data, so the oldest stays with the newest.
        while (kept.size() > keptEarlierCopies) {
            std::error_code ignored;
            std::filesystem::remove(kept[1], ignored);
            kept.erase(kept.begin() + 1);
        }
    } else if (errno != ENOENT) {
        return unexpected(lastError());
    }
    if (const auto code = files.writeAtomically(copy, bytes)) return unexpected(code);
    return SetAsideCopy{copy, true};
}

void PosixDocumentFileSystem::removeStaleTemporaries(const std::filesystem::path& path) {
    auto resolved = resolveLinks(path);
    if (!resolved) return;
    const std::string target = resolved.value().filename().string();
    const std::filesystem::path folder =
        resolved.value().parent_path().empty() ? "." : resolved.value().parent_path();
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) return;
    const auto now = std::chrono::system_clock::now();
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (!isTemporaryName(name, target)) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        const auto modified = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
        if (now - modified < kStaleTemporaryAge) continue;
        FileDescriptor fd(::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        // A save that is still writing holds its lock.
        if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        ::unlink(entry.path().c_str());
    }
}

}  // namespace tessary
