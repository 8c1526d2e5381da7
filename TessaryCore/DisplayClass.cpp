#include "TessaryCore/DisplayClass.h"

#include <string>

namespace tessary {

std::string_view DisplayClass::rawValue() const {
    switch (value) {
        case standard: return "standard";
        case ultrawide: return "ultrawide";
        case superUltrawide: return "superUltrawide";
        case laptop: return "laptop";
        case portrait: return "portrait";
        case large: return "large";
    }
    return "standard";
}

std::optional<DisplayClass> DisplayClass::fromRawValue(std::string_view text) {
    for (Case c : allCases) {
        if (DisplayClass(c).rawValue() == text) return DisplayClass(c);
    }
    return std::nullopt;
}

std::string_view DisplayClass::displayName() const {
    switch (value) {
        case standard: return "Standard (16:9)";
        case ultrawide: return "Ultrawide (21:9)";
        case superUltrawide: return "Super ultrawide (32:9)";
        case laptop: return "Laptop screen";
        case portrait: return "Portrait";
        case large: return "4K / 5K";
    }
    return "Standard (16:9)";
}

std::set<DisplayClass> DisplayClass::displayClasses(bool isBuiltIn, Size size) {
    std::set<DisplayClass> classes;
    const double w = size.width;
    const double h = size.height;
    if (!(w > 0) || !(h > 0)) return classes;
    const double ratio = w / h;
    if (isBuiltIn) classes.insert(laptop);
    if (ratio < 1.0) {
        classes.insert(portrait);
    } else if (ratio >= 3.0) {
        classes.insert(superUltrawide);
    } else if (ratio >= 2.2) {
        classes.insert(ultrawide);
    } else if (!isBuiltIn) {
        classes.insert(standard);
    }
    if (w * h >= 3'500'000.0) classes.insert(large);
    return classes;
}

DisplayClass DisplayClass::fromJSON(const json::Json& value) {
    const std::string text = json::asString(value, "display class");
    if (auto c = fromRawValue(text)) return *c;
    throw json::DecodingError("Cannot initialize DisplayClass from invalid String value " + text);
}

}  // namespace tessary
