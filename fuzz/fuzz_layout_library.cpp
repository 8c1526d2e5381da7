#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGeometry.h"

using namespace tessary;

// Arbitrary bytes as a layouts document (a file or a synchronised value), then what the zone service
// does with one: migrate it, look layouts up, lay them out, merge it, write it back.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A newer version's library is held as this version's: a copy of it written anywhere (the sync
    // folder) never claims the newer version.
    const auto reading = JSONDocumentStore<LayoutLibrary>::read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (reading.newerVersion && reading.document && reading.document.value().version != LayoutLibrary::currentVersion) {
        std::abort();
    }
    LayoutLibrary library;
    try {
        library = LayoutLibrary::fromJSON(json::parse(std::string_view(reinterpret_cast<const char*>(data), size)));
    } catch (const json::DecodingError&) {
        return 0;
    }
    (void)library.refreshPresetLayouts();
    if (const auto layout = library.layout(DisplayKey("MAIN", 2560, 1440))) {
        (void)ZoneGeometry::zones(*layout, Rect(0, 0, 2560, 1440));
    }
    for (ZoneLayout& layout : library.layouts) layout.rebuildFromOrigin();
    const LayoutLibrary merged = SyncMerge::mergeLayouts(library, LayoutLibrary::starter());
    (void)SyncMerge::mergeLayouts(LayoutLibrary::starter(), merged);
    if (!library.layouts.empty()) library.deleteLayout(library.layouts.front().id, Date(0));
    try {
        // What was written reads back as the same library (decoding only collapses valid grids,
        // which a decoded library already had collapsed).
        const LayoutLibrary again = LayoutLibrary::fromJSON(json::parse(json::dumpPretty(library.toJSON())));
        if (!(LayoutLibrary::fromJSON(again.toJSON()) == again)) std::abort();
    } catch (const json::EncodingError&) {
    }
    return 0;
}
