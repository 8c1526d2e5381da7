#include "FuzzDocument.h"
#include "TessaryCore/WindowPlacementMemory.h"

namespace {

constexpr std::string_view placement =
    R"({"displayKey": "D@1x1", "layoutID": "6F1B3C2A-0000-4000-8000-000000000001", "zoneIndices": [0],
        "updatedAt": "2025-03-14T09:26:53.589Z"})";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessary;
    static const std::string templates[] = {
        R"({"version": @@, "byWindow": {}, "byApp": {}})",
        R"({"version": 1, "byWindow": @@, "byApp": {}})",
        R"({"version": 1, "byWindow": {"App\u001fT": )" + std::string(placement) + R"(}, "byApp": {"A": @@}})",
        R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": @@, "layoutID": "6F1B3C2A-0000-4000-8000-000000000001", "zoneIndices": [0], "updatedAt": "2025-03-14T09:26:53.589Z"}}})",
        R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": "D", "layoutID": @@, "zoneIndices": [0], "updatedAt": "2025-03-14T09:26:53.589Z"}}})",
        R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": "D", "layoutID": "6F1B3C2A-0000-4000-8000-000000000001", "zoneIndices": @@, "updatedAt": "2025-03-14T09:26:53.589Z"}}})",
        R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": "D", "layoutID": "6F1B3C2A-0000-4000-8000-000000000001", "zoneIndices": [0], "updatedAt": "@@"}}})",
    };
    fuzzDocument<WindowPlacementMemory>(
        data, size, {templates[0], templates[1], templates[2], templates[3], templates[4], templates[5], templates[6]},
        [&](WindowPlacementMemory& memory) {
            // Whatever was loaded, a record afterwards keeps the cap and the new entry.
            memory.record(WindowPlacement("D@1x1", UUID(), {0}, Date(-1e9)), "App",
                          std::string(reinterpret_cast<const char*>(data), size));
            if (memory.byWindow.size() > WindowPlacementMemory::maxWindowEntries) std::abort();
            if (size > 0 && !memory.windowPlacement("App", std::string(reinterpret_cast<const char*>(data), size))) {
                std::abort();
            }
            memory.forgetApp("App");
            if (!JSONDocumentStore<WindowPlacementMemory>::encode(memory)) std::abort();
        });
    return 0;
}
