#include "TessaryCore/DocumentFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {

namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

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

// Makes a finished rename durable; file systems that cannot sync a folder lose nothing by it.
void syncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

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
    if (!S_ISREG(info.st_mode)) return unexpected(std::make_error_code(std::errc::invalid_argument));

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
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    return std::optional<std::string>(std::move(contents));
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

std::error_code PosixDocumentFileSystem::writeAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path target = path;
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        target = std::filesystem::weakly_canonical(path, error);
        if (error) return error;
    }
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();

    // A hidden name beside the target, so the rename never crosses file systems.
    std::string hiddenName = ".";
    hiddenName += target.filename().string();
    hiddenName += ".XXXXXX";
    std::string temporary = (folder / hiddenName).string();
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) return lastError();

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
    if (::close(fd.release()) != 0) return fail(lastError());
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(lastError());
    syncFolder(folder);
    return {};
}

}  // namespace tessary
