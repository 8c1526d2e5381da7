#include "TessaryCore/JSONDocumentStore.h"

namespace tessary {

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

Expected<std::optional<std::string>, DocumentStoreError> JSONDocumentFile::readBytes() {
    files_->removeStaleTemporaries(url_);
    auto bytes = files_->readFile(url_);
    if (!bytes) {
        offLimits_ = true;
        return unexpected(error(DocumentStoreError::Code::readFailed, bytes.error().message()));
    }
    return std::move(bytes.value());
}

DocumentStoreError JSONDocumentFile::setAside(const std::string& bytes, std::string decodingError) {
    // Only once the bytes are safe in the copy may the owner's fresh document replace the file.
    offLimits_ = static_cast<bool>(files_->writeAtomically(unreadableURL(), bytes));
    return error(DocumentStoreError::Code::decodingFailed, std::move(decodingError));
}

Expected<void, DocumentStoreError> JSONDocumentFile::writeBytes(std::string_view bytes) {
    const auto folder = url_.parent_path();
    if (!folder.empty()) {
        if (const auto code = files_->createDirectories(folder)) {
            return unexpected(error(DocumentStoreError::Code::folderNotCreated, code.message()));
        }
    }
    if (const auto code = files_->writeAtomically(url_, bytes)) {
        return unexpected(error(DocumentStoreError::Code::writeFailed, code.message()));
    }
    return {};
}

}  // namespace tessary
