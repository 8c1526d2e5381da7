#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TestSupport.h"

using namespace tessary;
using Code = DocumentStoreError::Code;

namespace {

// A small document with the kinds of values the real ones hold.
struct Note {
    std::string title;
    double weight = 0;
    Date stamp;
    std::map<std::string, std::int64_t> tags;

    json::Json toJSON() const {
        json::Json tagObject = json::Json::object();
        for (const auto& [key, value] : tags) tagObject[key] = value;
        return json::Json{{"title", title}, {"weight", json::fromDouble(weight, "weight")},
                          {"stamp", stamp.toJSON()}, {"tags", tagObject}};
    }
    static Note fromJSON(const json::Json& value) {
        Note note{json::requireString(value, "title"), json::requireDouble(value, "weight"),
                  Date::fromJSON(json::require(value, "stamp")), {}};
        for (const auto& [key, tag] : json::asObject(json::require(value, "tags"), "tags").items()) {
            note.tags[key] = json::asInt64(tag, key);
        }
        return note;
    }
    friend bool operator==(const Note&, const Note&) = default;
};

Note sample() { return Note{"Inbox", 2.5, Date(763637213.589), {{"zeta", 1}, {"alpha", 2}}}; }

std::size_t entriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

}  // namespace

TEST(JSONDocumentStore, AMissingFileIsNoDocumentAndSavingCreatesTheFolders) {
    TemporaryFolder folder;
    JSONDocumentStore<Note> store(folder / "a/b/Tessary/notes.json");
    const auto missing = store.load();
    ASSERT_TRUE(missing.hasValue());
    EXPECT_FALSE(missing.value().has_value());
    EXPECT_FALSE(store.isOffLimits());

    ASSERT_TRUE(store.save(sample()).hasValue());
    const auto loaded = store.load();
    ASSERT_TRUE(loaded.hasValue());
    EXPECT_EQ(loaded.value(), sample());
    EXPECT_EQ(entriesIn(folder / "a/b/Tessary"), 1u);  // no temporary file left behind
}

TEST(JSONDocumentStore, WritesSortedPrettyTextAndEqualDocumentsGiveIdenticalFiles) {
    TemporaryFolder folder;
    JSONDocumentStore<Note> store(folder / "notes.json");
    ASSERT_TRUE(store.save(sample()).hasValue());
    const std::string first = readFile(store.url());
    EXPECT_EQ(first,
              "{\n"
              "  \"stamp\": \"2025-03-14T09:26:53.589Z\",\n"
              "  \"tags\": {\n"
              "    \"alpha\": 2,\n"
              "    \"zeta\": 1\n"
              "  },\n"
              "  \"title\": \"Inbox\",\n"
              "  \"weight\": 2.5\n"
              "}");
    Note sameTagsOtherOrder = sample();
    sameTagsOtherOrder.tags = {{"alpha", 2}, {"zeta", 1}};
    ASSERT_TRUE(store.save(sameTagsOtherOrder).hasValue());
    EXPECT_EQ(readFile(store.url()), first);
}

TEST(JSONDocumentStore, AFileThatDoesNotDecodeIsCopiedAsideAndMayThenBeReplaced) {
    for (const std::string& bytes : {std::string("{\"title\": \"Inbox\", \"weig"), std::string("{\"version\": 1}"),
                                    std::string("{\"title\":\"x\",\"weight\":1,\"stamp\":\"2025-03-14T09:26:53.5Z\","
                                                "\"tags\":{}}"),
                                    std::string("\xff\xfe garbage")}) {
        TemporaryFolder folder;
        JSONDocumentStore<Note> store(folder / "notes.json");
        writeFile(store.url(), bytes);
        writeFile(store.unreadableURL(), "an older copy");

        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto result = store.load();
            ASSERT_FALSE(result.hasValue()) << bytes;
            EXPECT_EQ(result.error().code, Code::decodingFailed);
            EXPECT_FALSE(result.error().detail.empty());
            EXPECT_EQ(readFile(store.unreadableURL()), bytes);
            EXPECT_EQ(readFile(store.url()), bytes);  // the file itself is not touched
            EXPECT_FALSE(store.isOffLimits());
        }
        EXPECT_EQ(store.unreadableURL().filename(), "notes.json.unreadable");
        // The bytes are safe in the copy: the owner's fresh document may replace the file.
        ASSERT_TRUE(store.save(Note{}).hasValue());
        EXPECT_EQ(store.load().value(), Note{});
    }
}

TEST(JSONDocumentStore, AFileThatCannotBeReadIsNeverOverwritten) {
    TemporaryFolder folder;
    // A folder in place of the file: it exists, but cannot be read as a document.
    JSONDocumentStore<Note> store(folder / "notes.json");
    std::filesystem::create_directory(store.url());
    writeFile(store.url() / "inside", "keep");
    const auto result = store.load();
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.error().code, Code::readFailed);
    EXPECT_FALSE(std::filesystem::exists(store.unreadableURL()));  // nothing to copy
    EXPECT_TRUE(store.isOffLimits());

    const auto saved = store.save(Note{});
    ASSERT_FALSE(saved.hasValue());
    EXPECT_EQ(saved.error().code, Code::fileOffLimits);
    EXPECT_EQ(readFile(store.url() / "inside"), "keep");
}

TEST(JSONDocumentStore, AReadErrorOnAGoodFileKeepsItUntilALaterLoadSucceeds) {
    TemporaryFolder folder;
    const auto files = std::make_shared<FaultyFileSystem>();
    JSONDocumentStore<Note> store(folder / "notes.json", files);
    ASSERT_TRUE(store.save(sample()).hasValue());
    const std::string good = readFile(store.url());

    files->readFault = std::make_error_code(std::errc::io_error);
    const auto result = store.load();
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.error().code, Code::readFailed);
    // The owner starts from an empty document and saves it: refused, the user's file survives.
    EXPECT_EQ(store.save(Note{}).error().code, Code::fileOffLimits);
    EXPECT_EQ(readFile(store.url()), good);

    files->readFault = {};
    ASSERT_TRUE(store.load().hasValue());
    EXPECT_FALSE(store.isOffLimits());
    EXPECT_TRUE(store.save(sample()).hasValue());
}

TEST(JSONDocumentStore, AnUndecodableFileWhoseCopyFailsIsNeverOverwritten) {
    TemporaryFolder folder;
    JSONDocumentStore<Note> store(folder / "notes.json");
    writeFile(store.url(), "{ not json");
    // A non-empty folder where the copy should go: the copy cannot be written.
    std::filesystem::create_directory(store.unreadableURL());
    writeFile(store.unreadableURL() / "x", "x");

    const auto result = store.load();
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.error().code, Code::decodingFailed);
    EXPECT_TRUE(store.isOffLimits());
    EXPECT_EQ(store.save(Note{}).error().code, Code::fileOffLimits);
    EXPECT_EQ(readFile(store.url()), "{ not json");
}

TEST(JSONDocumentStore, WhatCannotBeEncodedNeverReplacesAGoodFile) {
    TemporaryFolder folder;
    JSONDocumentStore<Note> store(folder / "notes.json");
    ASSERT_TRUE(store.save(sample()).hasValue());
    const std::string good = readFile(store.url());

    Note notFinite = sample();
    notFinite.weight = std::nan("");
    Note badText = sample();
    badText.title = "caf\xc3";
    Note badKey = sample();
    badKey.tags["\xff"] = 1;
    Note badDate = sample();
    badDate.stamp = Date(INFINITY);
    for (const Note& note : {notFinite, badText, badKey, badDate}) {
        const auto saved = store.save(note);
        ASSERT_FALSE(saved.hasValue());
        EXPECT_EQ(saved.error().code, Code::encodingFailed);
        EXPECT_EQ(readFile(store.url()), good);
    }
    EXPECT_EQ(entriesIn(folder.path()), 1u);
    EXPECT_FALSE(JSONDocumentStore<Note>::encode(notFinite).hasValue());
}

TEST(JSONDocumentStore, FolderAndWriteFailuresAreReportedAndLeaveTheFileAlone) {
    TemporaryFolder folder;
    writeFile(folder / "blocker", "a file where the folder should be");
    JSONDocumentStore<Note> blocked(folder / "blocker/Tessary/notes.json");
    EXPECT_EQ(blocked.save(sample()).error().code, Code::folderNotCreated);

    const auto files = std::make_shared<FaultyFileSystem>();
    JSONDocumentStore<Note> store(folder / "notes.json", files);
    ASSERT_TRUE(store.save(sample()).hasValue());
    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    const auto saved = store.save(Note{});
    ASSERT_FALSE(saved.hasValue());
    EXPECT_EQ(saved.error().code, Code::writeFailed);
    EXPECT_EQ(saved.error().text(),
              "The file \u201Cnotes.json\u201D could not be saved: " + files->writeFault.message());
    EXPECT_EQ(store.load().value(), sample());
}

TEST(JSONDocumentStore, ASymbolicLinkStaysAndItsTargetIsReplaced) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder / "elsewhere");
    writeFile(folder / "elsewhere/real.json", "{}");
    std::filesystem::create_symlink(folder / "elsewhere/real.json", folder / "notes.json");
    JSONDocumentStore<Note> store(folder / "notes.json");
    ASSERT_TRUE(store.save(sample()).hasValue());
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "notes.json"));
    EXPECT_EQ(JSONDocumentStore<Note>::decode(readFile(folder / "elsewhere/real.json")).value(), sample());
}

TEST(JSONDocumentStore, CodersWithoutAFileGiveTheDocumentText) {
    const auto text = JSONDocumentStore<Note>::encode(sample());
    ASSERT_TRUE(text.hasValue());
    EXPECT_EQ(JSONDocumentStore<Note>::decode(text.value()).value(), sample());
    const auto bad = JSONDocumentStore<Note>::decode("[]");
    ASSERT_FALSE(bad.hasValue());
    EXPECT_EQ(bad.error().code, Code::decodingFailed);
    EXPECT_EQ(bad.error().text().rfind("The document could not be read because it is not in the correct format: ", 0),
              0u);
}

namespace {

// A document with a version, as the four real ones have.
struct Versioned {
    static constexpr std::int64_t currentVersion = 1;
    std::int64_t version = currentVersion;
    std::string title;

    json::Json toJSON() const { return json::Json{{"version", version}, {"title", title}}; }
    static Versioned fromJSON(const json::Json& value) {
        return Versioned{json::requireInt64(value, "version"), json::requireString(value, "title")};
    }
    friend bool operator==(const Versioned&, const Versioned&) = default;
};

// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(JSONDocumentStore, ANewerVersionsFileIsReadAsFarAsItGoesAndNeverWritten) {
    struct Row {
        const char* name;
        std::string bytes;
        bool decodes;
    };
    const Row rows[] = {
        {"known keys and unknown ones", "{\"version\": 2, \"title\": \"Desk\", \"colour\": \"teal\"}", true},
        {"a version written as 2.0", "{\"version\": 2.0, \"title\": \"Desk\"}", true},
        {"a key changed beyond reading", "{\"version\": 3, \"title\": {\"en\": \"Desk\"}}", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryFolder folder;
        JSONDocumentStore<Versioned> store(folder / "desk.json");
        writeFile(store.url(), row.bytes);
        const auto loaded = store.load();
        ASSERT_EQ(loaded.hasValue(), row.decodes);
        if (row.decodes) {
            // Held as what this version read of it: a sync copy made of it claims no newer version.
            EXPECT_EQ(loaded.value(), (Versioned{1, "Desk"}));
        } else {
            EXPECT_EQ(loaded.error().code, Code::newerVersion);
        }
        ASSERT_TRUE(store.loadTrouble());
        EXPECT_EQ(store.loadTrouble()->code, Code::newerVersion);
        EXPECT_EQ(store.loadTrouble()->version, row.name == std::string("a key changed beyond reading") ? 3 : 2);

        const auto saved = store.save(Versioned{1, "Mine"});
        ASSERT_FALSE(saved.hasValue());
        EXPECT_EQ(saved.error().code, Code::newerVersion);
        EXPECT_EQ(saved.error().text(),
                  "The file \u201Cdesk.json\u201D was written by a newer version of Tessary; it is left as it is.");
        EXPECT_EQ(readFile(store.url()), row.bytes) << "byte for byte";
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"desk.json"}) << "nothing set aside";
    }
    // Versions this program wrote, or older ones, are its own.
    TemporaryFolder folder;
    JSONDocumentStore<Versioned> store(folder / "desk.json");
    writeFile(store.url(), "{\"version\": 0, \"title\": \"Old\"}");
    ASSERT_TRUE(store.load().hasValue());
    EXPECT_FALSE(store.loadTrouble());
    EXPECT_TRUE(store.save(Versioned{1, "Mine"}).hasValue());
}

// The road: damaged, set aside, the starter saved, damaged again. Every damage survives.
TEST(JSONDocumentStore, ALaterDamageNeverReplacesAnEarlierCopy) {
    TemporaryFolder folder;
    JSONDocumentStore<Versioned> store(folder / "layouts.json");
    const std::string damages[] = {"{\"version\": 1, \"title\": \"the user's own", "garbage 2", "garbage 3",
                                   "garbage 4", "garbage 5", "garbage 6", "garbage 7", "garbage 8"};
    std::vector<std::string> copies;
    for (std::size_t i = 0; i < std::size(damages); ++i) {
        SCOPED_TRACE(i);
        writeFile(store.url(), damages[i]);
        // Each earlier copy dated a second apart, as starts a while apart leave them.
        if (std::filesystem::exists(store.unreadableURL())) {
            std::filesystem::last_write_time(store.unreadableURL(),
                                             std::filesystem::file_time_type::clock::now() - std::chrono::hours(100 - i));
        }
        const auto loaded = store.load();
        ASSERT_FALSE(loaded.hasValue());
        EXPECT_EQ(loaded.error().copy, store.unreadableURL());
        EXPECT_TRUE(loaded.error().newCopy);
        EXPECT_EQ(readFile(store.unreadableURL()), damages[i]);
        // Met again at the next start (nothing saved in between): the same copy, not a new one.
        const auto again = store.load();
        EXPECT_FALSE(again.error().newCopy);
        ASSERT_TRUE(store.save(Versioned{1, "starter"}).hasValue());
    }
    // The newest in NAME.unreadable; the first damage and the four before the newest, dated.
    std::vector<std::string> kept;
    for (const auto& name : namesIn(folder.path())) {
        if (name.starts_with("layouts.json.unreadable-")) kept.push_back(readFile(folder / name));
    }
    EXPECT_EQ(kept, (std::vector<std::string>{damages[0], damages[3], damages[4], damages[5], damages[6]}));
    EXPECT_EQ(kept.size(), keptEarlierCopies);
}

TEST(JSONDocumentStore, AFileFarLargerThanAnyDocumentIsRefusedUnreadAndKept) {
    TemporaryFolder folder;
    JSONDocumentStore<Versioned> store(folder / "memory.json");
    // Sparse: 8 GB that a whole read would need the memory for.
    {
        std::ofstream(store.url()) << "{\"version\": 1, ";
    }
    std::filesystem::resize_file(store.url(), 8ull << 30);
    const auto loaded = store.load();
    ASSERT_FALSE(loaded.hasValue());
    EXPECT_EQ(loaded.error().code, Code::tooLarge);
    EXPECT_EQ(loaded.error().size, 8ull << 30);
    EXPECT_EQ(loaded.error().text(),
              "The file \u201Cmemory.json\u201D is 8192 MB, larger than the 16 MB Tessary reads; it is left as it is.");
    EXPECT_EQ(store.save(Versioned{}).error().code, Code::fileOffLimits);
    EXPECT_EQ(std::filesystem::file_size(store.url()), 8ull << 30);
    EXPECT_FALSE(std::filesystem::exists(store.unreadableURL()));

    // At the limit it is still read.
    std::filesystem::resize_file(store.url(), 0);
    const std::string head = "{\"version\": 1, \"title\": \"", tail = "\"}";
    writeFile(store.url(), head + std::string(DocumentFileSystem::maximumFileSize - head.size() - tail.size(), 'x') + tail);
    ASSERT_EQ(std::filesystem::file_size(store.url()), DocumentFileSystem::maximumFileSize);
    EXPECT_TRUE(store.load().hasValue());
}


// Two instances of the program on one home, each with its own store of the same file: a save merges
// what the other wrote since, a change heard of is merged without writing, and what is there is
// never written over unread.
TEST(JSONDocumentStore, StoresSharingAFileMergeWhatTheOtherWroteBeforeTheyWrite) {
    TemporaryFolder folder;
    const auto tagsMerged = [](const Note& ours, const Note& theirs, const Note* base) {
        Note merged = ours;
        merged.tags = HomeMerge::threeWay(ours.tags, theirs.tags, base ? &base->tags : nullptr,
                                          [](std::int64_t mine, std::int64_t, const std::int64_t*) { return mine; });
        return merged;
    };
    const auto files = std::make_shared<FaultyFileSystem>();
    JSONDocumentStore<Note> first(folder / "notes.json", files), second(folder / "notes.json");
    first.mergeOutsideChanges(tagsMerged);
    second.mergeOutsideChanges(tagsMerged);
    Note mine = sample();
    ASSERT_TRUE(first.saveMerging(mine).hasValue());
    Note theirs = second.load().value().value();

    mine.tags["first"] = 1;
    ASSERT_TRUE(first.saveMerging(mine).hasValue());
    theirs.tags.erase("zeta");
    theirs.tags["second"] = 2;
    const auto written = second.saveMerging(theirs);
    ASSERT_TRUE(written.hasValue());
    const std::map<std::string, std::int64_t> both{{"alpha", 2}, {"first", 1}, {"second", 2}};
    ASSERT_TRUE(written.value());
    EXPECT_EQ(written.value()->tags, both);
    EXPECT_EQ(JSONDocumentStore<Note>(folder / "notes.json").load().value()->tags, both);

    // Heard of: merged in without a write; heard of twice, nothing new.
    const int writes = files->writeCount();
    const auto heard = first.outsideChange(mine);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->tags, both);
    EXPECT_FALSE(first.outsideChange(*heard));
    EXPECT_EQ(files->writeCount(), writes);

    // Damaged by someone else meanwhile: set aside, then written.
    writeFile(first.url(), "{\"title\": \"half");
    ASSERT_TRUE(first.saveMerging(*heard).hasValue());
    EXPECT_EQ(readFile(first.unreadableURL()), "{\"title\": \"half");
    EXPECT_EQ(first.load().value(), *heard);

    // Written again by the other and unreadable at the moment of saving: refused, and the file left
    // as it is.
    ASSERT_TRUE(second.saveMerging(sample()).hasValue());
    const std::string before = readFile(first.url());
    files->readFault = std::make_error_code(std::errc::io_error);
    const auto refused = first.saveMerging(mine);
    ASSERT_FALSE(refused.hasValue());
    EXPECT_EQ(refused.error().code, Code::readFailed);
    EXPECT_EQ(readFile(first.url()), before);
}
