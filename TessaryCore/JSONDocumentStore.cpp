#include "TessaryCore/JSONDocumentStore.h"

#include <cerrno>
#include <cstdio>

#include "TessaryCore/ContentHash.h"

namespace tessary {

namespace {

// "51.4 MB", "16 MB": in megabytes of 2^20 bytes, as the limit is set, one decimal when not whole.
std::string megabytes(std::uintmax_t bytes) {
    char text[32];
    const double value = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::snprintf(text, sizeof text, value == static_cast<double>(bytes / (1024 * 1024)) ? "%.0f MB" : "%.1f MB", value);
    return text;
}

}  // namespace

std::string DocumentStoreError::text() const {
    const std::string name = path.filename().string();
    const std::string subject = path.empty() ? std::string("The document") : "The file \u201C" + name + "\u201D";
    const std::string because = detail.empty() ? std::string(".") : ": " + detail;
    switch (code) {
        case Code::readFailed:
            return subject + " could not be read" + because;
        case Code::decodingFailed:
            return subject + " could not be read because it is not in the correct format" + because;
        case Code::folderNotCreated:
            return "The folder for \u201C" + name + "\u201D could not be created" + because;
        case Code::encodingFailed:
            return subject + " could not be saved because it holds a value that cannot be written" + because;
        case Code::writeFailed:
            return subject + " could not be saved" + because;
        case Code::fileOffLimits:
            return subject + " was not saved because it could not be read earlier; it is left as it is.";
        case Code::tooLarge:
            return subject + " is " + megabytes(size) + ", larger than the " +
                   megabytes(DocumentFileSystem::maximumFileSize) + " Tessary reads; it is left as it is.";
        case Code::newerVersion:
            return subject + " was written by a newer version of Tessary; it is left as it is.";
    }
    return subject + " could not be used" + because;
}

JSONDocumentFile::JSONDocumentFile(std::filesystem::path url, std::shared_ptr<DocumentFileSystem> files)
    : url_(std::move(url)), files_(files ? std::move(files) : DocumentFileSystem::standard()) {}

std::filesystem::path JSONDocumentFile::unreadableURL() const {
    std::filesystem::path copy = url_;
    copy += ".unreadable";
    return copy;
}

DocumentStoreError JSONDocumentFile::error(DocumentStoreError::Code code, std::string detail) const {
    return DocumentStoreError{code, url_, std::move(detail)};
}

DocumentStoreError JSONDocumentFile::troubled(DocumentStoreError trouble) {
    trouble_ = trouble;
    return trouble;
}

Expected<std::optional<std::string>, DocumentStoreError> JSONDocumentFile::lookAtBytes() const {
    auto bytes = files_->readFile(url_);
    if (bytes) return std::move(bytes.value());
    if (bytes.error() == std::errc::file_too_large) {
        DocumentStoreError trouble = error(DocumentStoreError::Code::tooLarge, bytes.error().message());
        std::error_code ignored;
        trouble.size = std::filesystem::file_size(url_, ignored);
        if (ignored) trouble.size = DocumentFileSystem::maximumFileSize + 1;
        return unexpected(std::move(trouble));
    }
    return unexpected(error(DocumentStoreError::Code::readFailed, bytes.error().message()));
}

Expected<std::optional<std::string>, DocumentStoreError> JSONDocumentFile::readBytes() {
    files_->removeStaleTemporaries(url_);
    // Taken before the read: a file replaced in between shows as changed at the next look, which
    // then reads it; the other way round, a replacement could pass for the bytes read.
    const std::optional<FileStamp> stamp = follows_ ? stampNow() : std::nullopt;
    auto bytes = lookAtBytes();
    if (!bytes) {
        refusal_ = DocumentStoreError::Code::fileOffLimits;
        known_.reset();
        return unexpected(troubled(bytes.error()));
    }
    if (follows_) known_ = knownFrom(bytes.value(), stamp);
    return bytes;
}

std::optional<FileStamp> JSONDocumentFile::stampNow() const {
    auto stamp = files_->stampOf(url_);
    return stamp ? stamp.value() : std::nullopt;
}

JSONDocumentFile::Known JSONDocumentFile::knownFrom(const std::optional<std::string>& bytes,
                                                    std::optional<FileStamp> stamp) {
    if (!bytes) return Known{};
    return Known{true, stamp, contentHash(*bytes)};
}

DocumentStoreError JSONDocumentFile::setAside(const std::string& bytes, std::string decodingError) {
    DocumentStoreError trouble = error(DocumentStoreError::Code::decodingFailed, std::move(decodingError));
    // Only once the bytes are safe in the copy may the owner's fresh document replace the file.
    if (auto kept = setAsideDamaged(*files_, url_, bytes)) {
        trouble.copy = kept.value().path;
        trouble.newCopy = kept.value().isNew;
    } else {
        refusal_ = DocumentStoreError::Code::fileOffLimits;
    }
    return troubled(std::move(trouble));
}

DocumentStoreError JSONDocumentFile::keepNewer(std::int64_t version, std::string detail) {
    refusal_ = DocumentStoreError::Code::newerVersion;
    DocumentStoreError trouble = error(DocumentStoreError::Code::newerVersion, std::move(detail));
    trouble.version = version;
    return troubled(std::move(trouble));
}

Expected<void, DocumentStoreError> JSONDocumentFile::refusedSave() const {
    DocumentStoreError refused = error(*refusal_, {});
    if (trouble_) {
        refused.version = trouble_->version;
        refused.size = trouble_->size;
    }
    return unexpected(std::move(refused));
}

std::optional<std::int64_t> JSONDocumentFile::versionAbove(const json::Json& value, std::int64_t current) {
    if (!value.is_object()) return std::nullopt;
    const auto found = value.find("version");
    if (found == value.end()) return std::nullopt;
    try {
        // Read as the decoders read it (2.0 is 2); one that is no integer is the decoder's to refuse.
        const std::int64_t version = json::asInt64(*found, "version");
        return version > current ? std::optional<std::int64_t>(version) : std::nullopt;
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

Expected<void, DocumentStoreError> JSONDocumentFile::writeBytes(std::string_view bytes) {
    const auto folder = url_.parent_path();
    if (!folder.empty()) {
        if (const auto code = files_->createDirectories(folder)) {
            return unexpected(error(DocumentStoreError::Code::folderNotCreated, code.message()));
        }
    }
    std::optional<FileStamp> stamp;
    if (const auto code = files_->writeAtomically(url_, bytes, follows_ ? &stamp : nullptr)) {
        return unexpected(error(DocumentStoreError::Code::writeFailed, code.message()));
    }
    if (follows_) known_ = Known{true, stamp, contentHash(bytes)};
    return {};
}

Expected<std::optional<JSONDocumentFile::Change>, DocumentStoreError> JSONDocumentFile::changedBytes() {
    // Nothing to compare with (never read, or a stamp the file system could not tell) means a read.
    const auto stamp = files_->stampOf(url_);
    if (known_ && stamp) {
        if (!stamp.value()) {
            if (!known_->exists) return std::optional<Change>();
            return std::optional<Change>(Change{std::nullopt, Known{}});
        }
        if (known_->exists && known_->stamp == *stamp.value()) return std::optional<Change>();
    }
    // A stamp taken before the read (see readBytes).
    const std::optional<FileStamp> before = stamp ? stamp.value() : std::nullopt;
    auto bytes = lookAtBytes();
    if (!bytes) return unexpected(bytes.error());
    Known now = knownFrom(bytes.value(), before);
    if (known_ && known_->exists == now.exists && known_->hash == now.hash) {
        // The same bytes under a new stamp: nothing to merge, and no read for it next time.
        known_ = now;
        return std::optional<Change>();
    }
    return std::optional<Change>(Change{std::move(bytes.value()), now});
}

FolderLock JSONDocumentFile::lockFolder() const {
    const auto folder = url_.parent_path();
    // The first save makes the folder; there is nothing to share before it exists.
    if (folder.empty() || files_->createDirectories(folder)) return {};
    return files_->lockFolder(folder, lockPatience);
}

}  // namespace tessary
