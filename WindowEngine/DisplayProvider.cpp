#include "WindowEngine/DisplayProvider.h"

#include <optional>
#include <unordered_map>

namespace tessary {

namespace {

const Screens* installedScreens = nullptr;

// The display list built from the installed screens, kept until their generation changes: drags ask
// for it on every pointer notice.
struct BuiltDisplays {
    const Screens* screens = nullptr;
    std::uint64_t generation = 0;
    std::vector<DisplayInfo> displays;
};
std::optional<BuiltDisplays> built;

std::vector<Screen> currentScreens() {
    return installedScreens ? installedScreens->screens() : std::vector<Screen>{};
}

std::string edidIdentifier(const Screen& screen) {
    return "vendor" + std::to_string(screen.vendorNumber) + "-model" + std::to_string(screen.modelNumber) +
           "-serial" + std::to_string(screen.serialNumber);
}

// Identical monitors without serial numbers have the same EDID and so the same base identifier;
// placements saved on one would be restored on the other. Each such monitor is told apart by its
// connector, while a monitor that is alone keeps its plain identifier; a clash that remains (no
// connector names) is broken by position in the list.
std::vector<std::string> distinctIdentifiers(const std::vector<const Screen*>& screens) {
    std::vector<std::string> identifiers;
    std::unordered_map<std::string, int> baseCount;
    for (const Screen* screen : screens) {
        identifiers.push_back(DisplayProvider::baseIdentifier(*screen));
        ++baseCount[identifiers.back()];
    }
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (baseCount[identifiers[i]] > 1 && !screens[i]->connectorName.empty()) {
            identifiers[i] += "-" + screens[i]->connectorName;
        }
    }
    std::unordered_map<std::string, int> seen;
    for (std::string& identifier : identifiers) {
        const int occurrence = ++seen[identifier];
        if (occurrence == 1) continue;
        std::string candidate;
        int n = occurrence;
        do {
            candidate = identifier + "-" + std::to_string(n++);
        } while (seen.contains(candidate));
        seen[candidate] = 1;
        identifier = candidate;
    }
    return identifiers;
}

double area(const Rect& rect) {
    if (rect.isNull()) return 0;
    return rect.width() * rect.height();
}

}  // namespace

void DisplayProvider::setScreens(const Screens* screens) {
    installedScreens = screens;
    built.reset();
}

const Screens* DisplayProvider::screens() { return installedScreens; }

std::string DisplayProvider::baseIdentifier(const Screen& screen) {
    if (screen.uuid && !screen.uuid->empty()) return *screen.uuid;
    if (screen.hasEDID || screen.connectorName.empty()) return edidIdentifier(screen);
    return screen.connectorName;
}

std::vector<DisplayInfo> DisplayProvider::displays(const std::vector<Screen>& screens) {
    std::vector<const Screen*> numbered;
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (!screens[i].displayNumber) continue;
        numbered.push_back(&screens[i]);
        indices.push_back(i);
    }
    const std::vector<std::string> identifiers = distinctIdentifiers(numbered);
    std::vector<DisplayInfo> result;
    result.reserve(numbered.size());
    for (std::size_t k = 0; k < numbered.size(); ++k) {
        const Screen& screen = *numbered[k];
        result.push_back(DisplayInfo{
            *screen.displayNumber,
            identifiers[k],
            screen.localizedName,
            screen.frame,
            screen.workArea,
            // The position in the whole list: when the first screen has no number, none is primary.
            indices[k] == 0,
            screen.isBuiltIn,
        });
    }
    return result;
}

std::vector<DisplayInfo> DisplayProvider::displays() {
    if (displaysOverride) return *displaysOverride;
    if (!installedScreens) return {};
    const std::uint64_t generation = installedScreens->generation();
    if (!built || built->screens != installedScreens || built->generation != generation) {
        built = BuiltDisplays{installedScreens, generation, displays(installedScreens->screens())};
    }
    return built->displays;
}

double DisplayProvider::primaryHeight() {
    const std::vector<Screen> screens = currentScreens();
    return screens.empty() ? 0 : screens.front().frame.height();
}

std::optional<DisplayInfo> DisplayProvider::display(Point containing) {
    for (DisplayInfo& display : displays()) {
        if (display.frame.contains(containing)) return std::move(display);
    }
    return std::nullopt;
}

std::optional<DisplayInfo> DisplayProvider::display(const Rect& rect, const std::vector<DisplayInfo>& in) {
    if (in.empty()) return std::nullopt;
    const DisplayInfo* best = &in.front();
    double bestArea = area(in.front().frame.intersection(rect));
    for (std::size_t i = 1; i < in.size(); ++i) {
        const double candidate = area(in[i].frame.intersection(rect));
        if (candidate > bestArea) {
            best = &in[i];
            bestArea = candidate;
        }
    }
    if (bestArea > 0) return *best;

    const double cx = rect.midX();
    const double cy = rect.midY();
    const auto squaredDistance = [&](const DisplayInfo& display) {
        const double dx = display.frame.midX() - cx;
        const double dy = display.frame.midY() - cy;
        return dx * dx + dy * dy;
    };
    best = &in.front();
    double bestDistance = squaredDistance(in.front());
    for (std::size_t i = 1; i < in.size(); ++i) {
        const double candidate = squaredDistance(in[i]);
        if (candidate < bestDistance) {
            best = &in[i];
            bestDistance = candidate;
        }
    }
    return *best;
}

std::optional<DisplayInfo> DisplayProvider::display(const Rect& rect) { return display(rect, displays()); }

std::string DisplayProvider::stableIdentifier(std::uint32_t displayID) {
    for (const DisplayInfo& display : displays(currentScreens())) {
        if (display.displayID == displayID) return display.identifier;
    }
    return edidIdentifier(Screen{});
}

}  // namespace tessary
