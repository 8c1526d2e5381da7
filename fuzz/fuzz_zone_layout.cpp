#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "TessaryCore/DisplayClass.h"
#include "TessaryCore/LayoutKind.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/ZoneCanvas.h"
#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneLayout.h"

using namespace tessary;

namespace {

// Decodes the value as T; what decodes must encode (or refuse with an EncodingError) and decode
// again to an equal value.
template <typename T, typename Use>
void tryType(const json::Json& value, Use use) {
    T decoded;
    try {
        decoded = T::fromJSON(value);
    } catch (const json::DecodingError&) {
        return;
    }
    use(decoded);
    try {
        const json::Json written = decoded.toJSON();
        if (!(T::fromJSON(json::parse(json::dumpCompact(written))) == decoded)) std::abort();
    } catch (const json::EncodingError&) {
    }
}

// The layout types have no default value; a placeholder to decode over.
struct LayoutSlot {
    std::optional<ZoneLayout> layout;
    static LayoutSlot fromJSON(const json::Json& v) { return LayoutSlot{ZoneLayout::fromJSON(v)}; }
    json::Json toJSON() const { return layout->toJSON(); }
    friend bool operator==(const LayoutSlot&, const LayoutSlot&) = default;
};

}  // namespace

// Arbitrary bytes as each layout value with a JSON form.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    json::Json value;
    try {
        value = json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const json::DecodingError&) {
        return 0;
    }
    const auto nothing = [](const auto&) {};
    tryType<ZoneCanvas>(value, nothing);
    tryType<LayoutKind>(value, nothing);
    tryType<LayoutTemplate>(value, [](LayoutTemplate t) { (void)t.kind(1'000'000'000); });
    tryType<DisplayClass>(value, nothing);
    tryType<ZoneLayout::Origin>(value, [](const ZoneLayout::Origin& origin) {
        ZoneLayout layout(UUID(), "fuzz", ZoneGrid::uniform(1, 1), 8, 8, origin, Date());
        layout.rebuildFromOrigin();
    });
    tryType<LayoutSlot>(value, [](const LayoutSlot& slot) {
        ZoneLayout layout = *slot.layout;
        (void)layout.inferredOrigin();
        (void)ZoneGeometry::zones(layout, Rect(0, 0, 1920, 1080));
        layout.rebuildFromOrigin();
    });
    return 0;
}
