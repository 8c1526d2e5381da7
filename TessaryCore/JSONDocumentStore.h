#pragma once

// Loads and saves one JSON document file. The text is pretty-printed with the keys sorted at every
// level, so equal documents give identical files, and it replaces the file atomically. A file that
// does not decode is copied aside byte for byte (NAME.unreadable) before its error is returned.
// A load first removes the temporaries that interrupted saves of this file left behind.
//
// A file that exists but cannot be used and whose bytes are not safe elsewhere (it cannot be read
// at all, or its unreadable copy could not be written) is off limits for the rest of the session:
// the owner works on in memory, and every save to it is refused, so that the empty or starter
// document the owner starts from never replaces the user's file.

#include <concepts>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "TessaryCore/DocumentFileSystem.h"
#include "TessaryCore/Expected.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

struct DocumentStoreError {
    enum class Code {
        // The file exists but could not be read (permissions, I/O, a folder in its place).
        readFailed,
        // The file is not valid JSON or not a document of the expected type.
        decodingFailed,
        // The folder of the file could not be created.
        folderNotCreated,
        // The document holds a value that cannot be written (a non-finite number, invalid UTF-8).
        encodingFailed,
        // The file could not be written.
        writeFailed,
        // A save to a file that could not be read earlier in this session, refused.
        fileOffLimits,
    };

    Code code;
    // The file concerned.
    std::filesystem::path path;
    // The cause in words: the system's error text or the decoding error.
    std::string detail;

    // The user-visible sentence.
    std::string text() const;

    friend bool operator==(const DocumentStoreError&, const DocumentStoreError&) = default;
};

// A document type: encodes to JSON (throwing json::EncodingError for what cannot be written) and
// decodes from it (throwing json::DecodingError).
template <typename Document>
concept JSONDocument = std::copy_constructible<Document> && requires(const Document& document, const json::Json& value) {
    { document.toJSON() } -> std::convertible_to<json::Json>;
    { Document::fromJSON(value) } -> std::same_as<Document>;
};

// The part of the store that deals in bytes and files.
class JSONDocumentFile {
public:
    explicit JSONDocumentFile(std::filesystem::path url,
                              std::shared_ptr<DocumentFileSystem> files = DocumentFileSystem::standard());

    const std::filesystem::path& url() const { return url_; }
    // The file's name with ".unreadable" appended (layouts.json.unreadable).
    std::filesystem::path unreadableURL() const;
    // True after a load found the file unusable and its bytes not kept elsewhere; saves are refused
    // until a later load succeeds or finds no file.
    bool isOffLimits() const { return offLimits_; }

protected:
    // The file's bytes, nothing when there is no file, or the read error (which puts the file off limits).
    Expected<std::optional<std::string>, DocumentStoreError> readBytes();
    // After a decoding failure: keeps the bytes beside the file, or puts the file off limits.
    DocumentStoreError setAside(const std::string& bytes, std::string decodingError);
    void loaded() { offLimits_ = false; }
    Expected<void, DocumentStoreError> writeBytes(std::string_view bytes);
    DocumentStoreError error(DocumentStoreError::Code code, std::string detail) const;

private:
    std::filesystem::path url_;
    std::shared_ptr<DocumentFileSystem> files_;
    bool offLimits_ = false;
};

template <JSONDocument Document>
class JSONDocumentStore : public JSONDocumentFile {
public:
    using JSONDocumentFile::JSONDocumentFile;

    // The document; nothing when no file exists; an error when the file exists but cannot be read
    // or decoded (after a decoding error the bytes are in unreadableURL()).
    Expected<std::optional<Document>, DocumentStoreError> load() {
        auto bytes = readBytes();
        if (!bytes) return unexpected(bytes.error());
        if (!bytes.value()) {
            loaded();
            return std::optional<Document>();
        }
        auto document = decode(*bytes.value());
        if (!document) return unexpected(setAside(*bytes.value(), document.error().detail));
        loaded();
        return std::optional<Document>(std::move(document.value()));
    }

    // Creates the folder, encodes the whole document in memory, then replaces the file atomically.
    // An error leaves the previous file as it was.
    Expected<void, DocumentStoreError> save(const Document& document) {
        if (isOffLimits()) {
            return unexpected(error(DocumentStoreError::Code::fileOffLimits, {}));
        }
        auto text = encode(document);
        if (!text) return unexpected(DocumentStoreError{text.error().code, url(), text.error().detail});
        return writeBytes(text.value());
    }

    // The coders without a file, for the synchronised values (same text as the documents).
    static Expected<std::string, DocumentStoreError> encode(const Document& document) {
        try {
            return json::dumpPretty(document.toJSON());
        } catch (const json::EncodingError& failure) {
            return unexpected(DocumentStoreError{DocumentStoreError::Code::encodingFailed, {}, failure.what()});
        } catch (const json::Json::exception& failure) {
            return unexpected(DocumentStoreError{DocumentStoreError::Code::encodingFailed, {}, failure.what()});
        }
    }

    static Expected<Document, DocumentStoreError> decode(std::string_view text) {
        try {
            return Document::fromJSON(json::parse(text));
        } catch (const json::DecodingError& failure) {
            return unexpected(DocumentStoreError{DocumentStoreError::Code::decodingFailed, {}, failure.what()});
        } catch (const json::Json::exception& failure) {
            // A decoder that reached into the JSON unchecked: still outside input that does not decode.
            return unexpected(DocumentStoreError{DocumentStoreError::Code::decodingFailed, {}, failure.what()});
        }
    }
};

}  // namespace tessary
