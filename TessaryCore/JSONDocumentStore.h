#pragma once

// Loads and saves one JSON document file. The text is pretty-printed with the keys sorted at every
// level, so equal documents give identical files, and it replaces the file atomically. A file that
// does not decode is copied aside byte for byte (NAME.unreadable; an earlier copy holding another
// damage is kept under a dated name, see setAsideDamaged) before its error is returned.
// A load first removes the temporaries that interrupted saves of this file left behind.
//
// A file that exists but cannot be used and whose bytes are not safe elsewhere (it cannot be read
// at all, it is larger than DocumentFileSystem::maximumFileSize, or its unreadable copy could not be
// written) is off limits for the rest of the session: the owner works on in memory, and every save
// to it is refused, so that the empty or starter document the owner starts from never replaces the
// user's file.
//
// A document whose "version" is above the document type's currentVersion was written by a newer
// program: it is decoded as far as this one can (keys it does not know are passed over), handed out
// with this program's version (what it holds is what this program could read of it), and never
// written: every save is refused until a later load finds a document of this version or none.
//
// A file shared by several instances of the program (two displays of one user share the home): a
// store given a merge (mergeOutsideChanges) remembers the file as it last read or wrote it, by its
// stamp (identity, size, time) and a hash of its bytes, and keeps of that document only the merge's
// base: what carries no stamp of its own. Its saveMerging() takes the folder's lock, and when another
// wrote the file since, merges what is there with the document before writing; outsideChange() gives
// that merge for an owner to take in as soon as it hears of the change. The file is read again only
// when its stamp changed (or the file system cannot tell one); what is there is only ever merged,
// never written over unread.

#include <any>
#include <concepts>
#include <cstdint>
#include <filesystem>
#include <functional>
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
        // The file is larger than any document the program reads; nothing of it was read.
        tooLarge,
        // A newer program wrote the file: on load, whether or not it decoded; on save, refused.
        newerVersion,
    };

    Code code;
    // The file concerned.
    std::filesystem::path path;
    // The cause in words: the system's error text or the decoding error.
    std::string detail;
    // decodingFailed: where the bytes were kept (empty when the copy failed), and whether they were
    // new there (false for the same damage met at an earlier load).
    std::filesystem::path copy{};
    bool newCopy = false;
    // tooLarge: the file's size in bytes.
    std::uintmax_t size = 0;
    // newerVersion: the version the file says it is.
    std::int64_t version = 0;

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
    // True after a load found the file unusable and its bytes not kept elsewhere, or written by a
    // newer program; saves are refused until a later load succeeds or finds no file.
    bool isOffLimits() const { return refusal_.has_value(); }
    // What the last load found wrong with the file, whether or not it gave a document: the read or
    // decoding error, tooLarge, or newerVersion (also for a newer document that decoded).
    const std::optional<DocumentStoreError>& loadTrouble() const { return trouble_; }

    // How long a save waits for another instance's lock on the folder.
    static constexpr std::chrono::milliseconds lockPatience{2000};

protected:
    // The file's bytes, nothing when there is no file, or the read error (which puts the file off
    // limits) after a load's cleanup of stale temporaries.
    Expected<std::optional<std::string>, DocumentStoreError> readBytes();
    // The same without touching anything: no cleanup, no effect on later saves.
    Expected<std::optional<std::string>, DocumentStoreError> lookAtBytes() const;
    // After a decoding failure: keeps the bytes beside the file, or puts the file off limits.
    DocumentStoreError setAside(const std::string& bytes, std::string decodingError);
    // A newer program's file: read, never written.
    DocumentStoreError keepNewer(std::int64_t version, std::string detail);
    void loaded() {
        refusal_.reset();
        trouble_.reset();
    }
    Expected<void, DocumentStoreError> writeBytes(std::string_view bytes);

    // What this store knows of the file as it last read or wrote it, without its bytes.
    struct Known {
        bool exists = false;
        // Nothing where the file system could not tell it: the file is then read to compare.
        std::optional<FileStamp> stamp;
        std::uint64_t hash = 0;
    };
    // What the file holds when another changed it since this store last read or wrote it: its bytes
    // (nothing: the file is gone) and what to know it by once they are taken in.
    struct Change {
        std::optional<std::string> bytes;
        Known known;
    };
    // The change; nothing when the file is as this store knows it (a file whose stamp alone changed,
    // touched or written again with the same bytes, is then known by its new stamp); the error when
    // it cannot be read. Reads nothing while the stamp is unchanged.
    Expected<std::optional<Change>, DocumentStoreError> changedBytes();
    // Whether the store follows the file's versions at all (it has a merge); stores that do not
    // neither stamp nor hash what they read and write.
    void followChanges() { follows_ = true; }
    FolderLock lockFolder() const;
    void knownAs(Known known) { known_ = std::move(known); }
    DocumentStoreError error(DocumentStoreError::Code code, std::string detail) const;
    Expected<void, DocumentStoreError> refusedSave() const;
    // The document's version when it is an integer above `current`.
    static std::optional<std::int64_t> versionAbove(const json::Json& value, std::int64_t current);

private:
    DocumentStoreError troubled(DocumentStoreError trouble);
    // The file's stamp now; nothing when there is no file or it cannot be told.
    std::optional<FileStamp> stampNow() const;
    static Known knownFrom(const std::optional<std::string>& bytes, std::optional<FileStamp> stamp);

    std::filesystem::path url_;
    std::shared_ptr<DocumentFileSystem> files_;
    // Why saves are refused (fileOffLimits or newerVersion); nothing while they are not.
    std::optional<DocumentStoreError::Code> refusal_;
    std::optional<DocumentStoreError> trouble_;
    bool follows_ = false;
    // The file as this store last read or wrote it; nothing while that is not known.
    std::optional<Known> known_;
};

namespace detail {

// The base type a merge takes as its third argument (`const Base*`), for functions and lambdas.
template <typename Merge>
struct MergeBase : MergeBase<decltype(&Merge::operator())> {};
template <typename Result, typename Ours, typename Theirs, typename Base>
struct MergeBase<Result (*)(Ours, Theirs, const Base*)> {
    using type = Base;
};
template <typename Class, typename Result, typename Ours, typename Theirs, typename Base>
struct MergeBase<Result (Class::*)(Ours, Theirs, const Base*) const> {
    using type = Base;
};

}  // namespace detail

template <JSONDocument Document>
class JSONDocumentStore : public JSONDocumentFile {
public:
    using JSONDocumentFile::JSONDocumentFile;

    // What a document's text holds, as far as this program can read it.
    struct Reading {
        Expected<Document, DocumentStoreError> document;
        // The version a newer program wrote it as; nothing for this program's own and older ones.
        std::optional<std::int64_t> newerVersion;
    };

    // The document; nothing when no file exists; an error when the file exists but cannot be read
    // or decoded (after a decoding error the bytes are in unreadableURL()). A newer program's
    // document comes back as far as it decodes, and the store will not write it (loadTrouble()).
    Expected<std::optional<Document>, DocumentStoreError> load() {
        auto bytes = readBytes();
        base_.reset();
        if (!bytes) return unexpected(bytes.error());
        loaded();
        if (!bytes.value()) return std::optional<Document>();
        Reading reading = read(*bytes.value());
        if (reading.newerVersion) {
            // Never set aside: nothing is wrong with it, and it is never written over.
            DocumentStoreError trouble = keepNewer(*reading.newerVersion,
                                                   reading.document ? std::string() : reading.document.error().detail);
            if (!reading.document) return unexpected(std::move(trouble));
        } else if (!reading.document) {
            return unexpected(setAside(*bytes.value(), reading.document.error().detail));
        } else {
            rememberBase(reading.document.value(), std::move(*bytes.value()));
        }
        return std::optional<Document>(std::move(reading.document.value()));
    }

    // What load() would give, changing nothing: no copy of a damaged file, no cleanup, no effect on
    // later saves. For those who only look (the command line without a running program).
    Expected<std::optional<Document>, DocumentStoreError> peek() const {
        auto bytes = lookAtBytes();
        if (!bytes) return unexpected(bytes.error());
        if (!bytes.value()) return std::optional<Document>();
        Reading reading = read(*bytes.value());
        if (reading.document) return std::optional<Document>(std::move(reading.document.value()));
        DocumentStoreError failure = error(DocumentStoreError::Code::decodingFailed, reading.document.error().detail);
        if (reading.newerVersion) {
            failure.code = DocumentStoreError::Code::newerVersion;
            failure.version = *reading.newerVersion;
        }
        return unexpected(std::move(failure));
    }

    // Creates the folder, encodes the whole document in memory, then replaces the file atomically.
    // An error leaves the previous file as it was.
    Expected<void, DocumentStoreError> save(const Document& document) {
        if (isOffLimits()) return refusedSave();
        auto text = encode(document);
        if (!text) return unexpected(DocumentStoreError{text.error().code, url(), text.error().detail});
        auto written = writeBytes(text.value());
        if (written) rememberBase(document, std::move(text.value()));
        return written;
    }

    // Merges the file's document as another instance wrote it (`theirs`) into this one's (`ours`),
    // against what the merge keeps of the file as this store last read or wrote it (`base`; null when
    // that is not known). The merge's third parameter, `const Base*`, names what it keeps: a type
    // made from the document and the file's text (`Base(const Document&, std::string)`, the text
    // handed over, not copied) or from the document alone, holding only what the merge needs.
    template <typename Merge>
    void mergeOutsideChanges(Merge merge) {
        using Base = typename detail::MergeBase<Merge>::type;
        static_assert(std::constructible_from<Base, const Document&, std::string> ||
                          std::constructible_from<Base, const Document&>,
                      "a merge's base is made from the document");
        followChanges();
        remember_ = [](const Document& document, std::string&& text) {
            if constexpr (std::constructible_from<Base, const Document&, std::string>) {
                return std::any(Base(document, std::move(text)));
            } else {
                return std::any(Base(document));
            }
        };
        merge_ = [merge = std::move(merge)](const Document& ours, const Document& theirs, const std::any& base) {
            return merge(ours, theirs, std::any_cast<Base>(&base));
        };
    }

    // save(), but under the folder's lock, and with what another wrote to the file since this store
    // last read or wrote it merged in first. The document written when that merge changed it;
    // nothing when `document` itself was written, as it is whenever the file is as this store knows
    // it (then it is not read). A file there now that cannot be read is not written over
    // (readFailed); one that does not decode is set aside first, as a load does; one of a newer
    // program's is left as it is (newerVersion). Without a merge, save().
    Expected<std::optional<Document>, DocumentStoreError> saveMerging(const Document& document) {
        if (isOffLimits()) return unexpected(refusedSave().error());
        if (!merge_) {
            if (auto saved = save(document); !saved) return unexpected(saved.error());
            return std::optional<Document>();
        }
        const FolderLock lock = lockFolder();
        auto changed = changedBytes();
        if (!changed) return unexpected(changed.error());
        std::optional<Document> merged;
        if (changed.value() && changed.value()->bytes) {
            const std::string& bytes = *changed.value()->bytes;
            Reading reading = read(bytes);
            if (reading.newerVersion) {
                keepNewer(*reading.newerVersion, {});
                return unexpected(refusedSave().error());
            }
            if (reading.document) {
                merged = merge_(document, reading.document.value(), base_);
                if (*merged == document) merged.reset();
            } else {
                setAside(bytes, reading.document.error().detail);
                if (isOffLimits()) return unexpected(refusedSave().error());
            }
        }
        if (auto saved = save(merged ? *merged : document); !saved) return unexpected(saved.error());
        return merged;
    }

    // When another wrote the file since this store last read or wrote it: `document` with what is
    // there merged in; the store then knows the file as it is now. Nothing when the file is as it
    // was, or holds nothing this program can use now (gone, unreadable, damaged, a newer version's):
    // the next save deals with that.
    std::optional<Document> outsideChange(const Document& document) {
        if (!merge_ || isOffLimits()) return std::nullopt;
        auto changed = changedBytes();
        if (!changed || !changed.value() || !changed.value()->bytes) return std::nullopt;
        Reading reading = read(*changed.value()->bytes);
        if (reading.newerVersion || !reading.document) return std::nullopt;
        Document merged = merge_(document, reading.document.value(), base_);
        knownAs(changed.value()->known);
        rememberBase(reading.document.value(), std::move(*changed.value()->bytes));
        return merged;
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

    static Expected<Document, DocumentStoreError> decode(std::string_view text) { return read(text).document; }

    // The document and whether a newer program wrote it (its "version" above currentVersion).
    static Reading read(std::string_view text) {
        const auto failed = [](const char* what) {
            return unexpected(DocumentStoreError{DocumentStoreError::Code::decodingFailed, {}, what});
        };
        std::optional<std::int64_t> newer;
        try {
            const json::Json value = json::parse(text);
            if constexpr (requires { Document::currentVersion; }) newer = versionAbove(value, Document::currentVersion);
            Document document = Document::fromJSON(value);
            // What is held now is what this program could read of it.
            if constexpr (requires { Document::currentVersion; }) {
                if (newer) document.version = Document::currentVersion;
            }
            return {std::move(document), newer};
        } catch (const json::DecodingError& failure) {
            return {failed(failure.what()), newer};
        } catch (const json::Json::exception& failure) {
            // A decoder that reached into the JSON unchecked: still outside input that does not decode.
            return {failed(failure.what()), newer};
        }
    }

private:
    void rememberBase(const Document& document, std::string&& text) {
        if (remember_) base_ = remember_(document, std::move(text));
    }

    std::function<std::any(const Document&, std::string&& text)> remember_;
    std::function<Document(const Document& ours, const Document& theirs, const std::any& base)> merge_;
    // What the merge keeps of the document the file held as this store last read or wrote it; empty
    // while that is not known.
    std::any base_;
};

}  // namespace tessary
