// What each service does with a document it cannot use as it is: a newer version's file stays byte
// for byte through changes, a damaged one is set aside once and said so, one far too large is never
// read. The log line says it in the program's words, the parser's message after it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/WindowMemoryService.h"
#include "Tessary/services/WorkspaceService.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Code = DocumentStoreError::Code;

namespace {

class DocumentTroubleTest : public ::testing::Test, public PlacementWorld {
protected:
    // One service over its document: made, changed once the way a user changes it, and asked what
    // went wrong at its start.
    struct Owner {
        const char* file;
        const char* category;
        // A newer version's document with a key this version does not know.
        std::string newer;
        std::function<std::optional<DocumentTrouble>(DocumentTroubleTest&)> startAndChange;
    };

    std::vector<Owner> owners() {
        return {
            {"layouts.json", "ZoneService",
             "{\"version\": 2, \"layouts\": [], \"assignments\": {}, \"deletedLayouts\": {}, \"stacks\": [1, 2]}",
             [](DocumentTroubleTest& t) {
                 ZoneService service(t.engineHandle, t.store<LayoutLibrary>("layouts.json"));
                 service.cycleLayout(t.main, 1);
                 return service.documentTrouble();
             }},
            {"rules.json", "Rules", "{\"version\": 2, \"rules\": [], \"deletedRules\": {}, \"groups\": {\"a\": 1}}",
             [](DocumentTroubleTest& t) {
                 RuleService service(*t.zones, t.displaysReader(), t.store<RuleSet>("rules.json"));
                 service.modifyRuleSet([](RuleSet& set) { set.deleteRule(UUID::random()); });
                 return service.documentTrouble();
             }},
            {"workspaces.json", "Workspaces",
             "{\"version\": 2, \"workspaces\": [], \"deletedWorkspaces\": {}, \"sets\": [\"x\"]}",
             [](DocumentTroubleTest& t) {
                 WorkspaceService service(*t.zones, t.displaysReader(), t.store<WorkspaceLibrary>("workspaces.json"),
                                          t.applications, t.launcher, t.scheduler);
                 service.saveCurrentWindows("Desk");
                 return service.documentTrouble();
             }},
            {"memory.json", "WindowMemory", "{\"version\": 2, \"byWindow\": {}, \"byApp\": {}, \"byTab\": {}}",
             [](DocumentTroubleTest& t) {
                 WindowMemoryService service(*t.zones, t.displaysReader(), t.store<WindowPlacementMemory>("memory.json"),
                                             t.scheduler);
                 const WindowHandle window = t.engine.addWindow("Mail", 1, "Inbox", mainZone(0));
                 service.remember(window, t.main, {0});
                 service.flush();
                 return service.documentTrouble();
             }},
        };
    }

    // What a user of the log reads: the lines above debug.
    std::vector<std::string> logged(const Owner& owner) {
        std::vector<std::string> lines;
        for (const LogRecord& record : sink.records()) {
            if (record.category == owner.category && record.level != LogLevel::debug) lines.push_back(record.message);
        }
        return lines;
    }

    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
};

TEST_F(DocumentTroubleTest, ANewerVersionsDocumentIsUsedSaidOnceAndKeptByteForByte) {
    for (const Owner& owner : owners()) {
        SCOPED_TRACE(owner.file);
        sink.clear();
        writeFile(folder / owner.file, owner.newer);
        const auto trouble = owner.startAndChange(*this);
        EXPECT_EQ(readFile(folder / owner.file), owner.newer);
        ASSERT_TRUE(trouble);
        EXPECT_EQ(trouble->error.code, Code::newerVersion);
        EXPECT_TRUE(trouble->documentUsed);
        EXPECT_TRUE(trouble->worthTelling());
        EXPECT_EQ(trouble->title(), "\u201C" + std::string(owner.file) + "\u201D is kept read-only");
        ASSERT_EQ(logged(owner).size(), 1u) << "said once, not at each refused save";
        EXPECT_EQ(logged(owner)[0], (folder / owner.file).string() +
                                        " was written by a newer version of Tessary (version 2); using what this "
                                        "version can read of it, and it is kept read-only: changes are not saved to it");
        EXPECT_FALSE(std::filesystem::exists(folder / (std::string(owner.file) + ".unreadable")));
    }
}

TEST_F(DocumentTroubleTest, ADamagedDocumentIsSetAsideAndToldOnceInTheProgramsWords) {
    for (const Owner& owner : owners()) {
        SCOPED_TRACE(owner.file);
        const std::filesystem::path copy = folder / (std::string(owner.file) + ".unreadable");
        writeFile(folder / owner.file, "{\"version\": 1, \"trunc");
        sink.clear();
        auto trouble = owner.startAndChange(*this);
        ASSERT_TRUE(trouble);
        EXPECT_EQ(trouble->error.code, Code::decodingFailed);
        EXPECT_TRUE(trouble->worthTelling());
        EXPECT_EQ(trouble->error.copy, copy);
        EXPECT_EQ(trouble->body().rfind("Its contents were set aside as \u201C" + copy.filename().string() +
                                            "\u201D in the same folder. Tessary starts with ",
                                        0),
                  0u)
            << trouble->body();
        EXPECT_EQ(readFile(copy), "{\"version\": 1, \"trunc");
        ASSERT_FALSE(logged(owner).empty());
        EXPECT_THAT(logged(owner)[0], HasSubstr((folder / owner.file).string() + " could not be read and was set aside as " +
                                                copy.string() + "; starting with "));
        EXPECT_THAT(logged(owner)[0], HasSubstr(". The parser's message: "));

        // Damaged again differently, after the change saved a fresh document: both damages are kept.
        writeFile(folder / owner.file, "garbage");
        trouble = owner.startAndChange(*this);
        EXPECT_TRUE(trouble->worthTelling());
        EXPECT_EQ(readFile(copy), "garbage");
        bool firstKept = false;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            if (entry.path().filename().string().starts_with(copy.filename().string() + "-")) {
                firstKept = readFile(entry.path()) == "{\"version\": 1, \"trunc";
            }
        }
        EXPECT_TRUE(firstKept) << "the first damage, perhaps the user's own data, survives the second";
    }
}

TEST_F(DocumentTroubleTest, TheSameDamageMetAtTheNextStartIsNotToldAgain) {
    // A damaged memory stays damaged until a snap saves over it.
    writeFile(folder / "rules.json", "[]");
    auto first = std::make_unique<RuleService>(*zones, displaysReader(), store<RuleSet>("rules.json"));
    EXPECT_TRUE(first->documentTrouble()->worthTelling());
    auto second = std::make_unique<RuleService>(*zones, displaysReader(), store<RuleSet>("rules.json"));
    EXPECT_FALSE(second->documentTrouble()->worthTelling());
    EXPECT_THAT(sink.messages("Rules").back(), HasSubstr(" (as at an earlier start)"));
}

TEST_F(DocumentTroubleTest, ADocumentFarTooLargeIsNeverReadNorWritten) {
    for (const Owner& owner : owners()) {
        SCOPED_TRACE(owner.file);
        {
            std::ofstream(folder / owner.file) << "{\"version\": 1";
        }
        std::filesystem::resize_file(folder / owner.file, 50'000'000);
        sink.clear();
        const auto trouble = owner.startAndChange(*this);
        ASSERT_TRUE(trouble);
        EXPECT_EQ(trouble->error.code, Code::tooLarge);
        EXPECT_EQ(std::filesystem::file_size(folder / owner.file), 50'000'000u);
        EXPECT_THAT(trouble->body(), StartsWith("The file \u201C" + std::string(owner.file) +
                                                "\u201D is 47.7 MB, larger than the 16 MB Tessary reads; it is left as it "
                                                "is. Tessary starts with "));
        ASSERT_FALSE(logged(owner).empty());
        std::filesystem::remove(folder / owner.file);
    }
}

}  // namespace
