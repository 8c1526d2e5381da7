#include "FuzzDocument.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "TessaryCore/WorkspaceMatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessary;
    static constexpr std::string_view entry =
        R"("id": "00000000-0000-4000-8000-000000000002", "bundleID": "Term", "displayKey": "D@1x1", "zoneIndices": [0])";
    static constexpr std::string_view workspace =
        R"("id": "00000000-0000-4000-8000-000000000001", "name": "Desk", "displayIdentifiers": ["A"], "restoresWhenDisplaysMatch": true, "launchesMissingApps": false, "modifiedAt": "2025-03-14T09:26:53.589Z")";
    static const std::string templates[] = {
        R"({"version": 1, "workspaces": @@})",
        R"({"version": 1, "workspaces": [], "deletedWorkspaces": @@})",
        R"({"version": 1, "workspaces": [{)" + std::string(workspace) + R"(, "entries": @@}]})",
        R"({"version": 1, "workspaces": [{)" + std::string(workspace) + R"(, "entries": [{)" + std::string(entry) +
            R"(, "frame": @@}]}]})",
        R"({"version": 1, "workspaces": [{)" + std::string(workspace) + R"(, "entries": [{)" + std::string(entry) +
            R"(, "frame": [[0, 0], [1, 1]], "title": @@}]}]})",
        R"({"version": 1, "workspaces": [{"id": "00000000-0000-4000-8000-000000000001", "name": @@, "entries": [], "displayIdentifiers": ["A"], "restoresWhenDisplaysMatch": true, "launchesMissingApps": false, "modifiedAt": "2025-03-14T09:26:53.589Z"}]})",
    };
    fuzzDocument<WorkspaceLibrary>(
        data, size, {templates[0], templates[1], templates[2], templates[3], templates[4], templates[5]},
        [](WorkspaceLibrary& library) {
            const auto merged = SyncMerge::mergeWorkspaces(library, library);
            if (merged.workspaces.size() > library.workspaces.size()) std::abort();
            for (const auto& saved : library.workspaces) {
                std::vector<WorkspaceMatcher::Candidate<int>> windows;
                int n = 0;
                for (const auto& e : saved.entries) windows.emplace_back(n++, e.bundleID, e.title);
                // One window per entry of the same application: every entry finds one.
                if (WorkspaceMatcher::match(saved.entries, windows).size() != saved.entries.size()) std::abort();
                if (!library.workspaceNamed(saved.name)) std::abort();
                (void)library.workspaceToRestore(saved.displayIdentifiers);
            }
        });
    return 0;
}
