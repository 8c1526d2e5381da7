#include "Tessary/services/ZoneService.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/ZoneGeometry.h"
#include "WindowEngine/CoordinateSpace.h"
#include "WindowEngine/DisplayProvider.h"
#include "WindowEngine/UnfitWindowPlacement.h"

namespace tessary {

namespace {

// The number users see for a zone index: index + 1, exact for every 64-bit index (the largest
// index gives 9223372036854775808, which no signed 64-bit integer holds).
std::string zoneNumber(std::int64_t index) {
    if (index >= 0) return std::to_string(static_cast<std::uint64_t>(index) + 1);
    return std::to_string(index + 1);
}

}  // namespace

std::string ZoneService::SnapError::description() const {
    switch (code) {
    case Code::noSuchZone: return "zone " + zoneNumber(zoneIndex) + " does not exist in this layout";
    case Code::rejected:
        if (doesNotFit()) return doesNotFitText(application, result->achieved->size, result->requested.size);
        // On Linux the window manager, not the app, keeps a window's whole X window on the screen.
        if (result && result->shadowKeptOnScreen) return "the window manager keeps the window's shadow on the screen";
        return "the app did not accept the new size or position";
    case Code::noWindow: return "no window";
    case Code::excluded: return "window belongs to an excluded app";
    case Code::noDisplay: return "window is on no display";
    // On Linux the application never refuses a move itself: without a window manager nobody makes it.
    case Code::noWindowManager: return "no window manager is running";
    }
    return "no window";
}

bool ZoneService::SnapError::doesNotFit() const {
    return code == Code::rejected && result && result->achieved &&
           !doesNotFitText(application, result->achieved->size, result->requested.size).empty();
}

namespace {
// A window may be a point or two larger than its zone: the frame's rounding, not a misfit.
constexpr double fitTolerance = 2.0;
}  // namespace

bool ZoneService::SnapError::centredInZone() const {
    // A window the window manager held short (its shadow kept on the screen) could have filled it.
    if (code != Code::rejected || !result || !result->achieved || result->shadowKeptOnScreen) return false;
    const Rect& zone = result->requested;
    const Rect& window = *result->achieved;
    if (!fits(window.size, zone.size)) return false;
    const auto centred = UnfitWindowPlacement::centeredFrame(window.size, zone, fitTolerance);
    return centred && CoordinateSpace::approximatelyEqual(*centred, window, fitTolerance);
}

bool ZoneService::fits(Size needed, Size zone) {
    return needed.width <= zone.width + fitTolerance && needed.height <= zone.height + fitTolerance;
}

std::string ZoneService::doesNotFitText(const std::string& application, Size needed, Size zone) {
    auto points = [](double value) { return std::to_string(static_cast<long long>(std::llround(value))); };
    const bool wider = needed.width > zone.width + fitTolerance;
    const bool taller = needed.height > zone.height + fitTolerance;
    const std::string who = application.empty() ? "The window" : application;
    if (wider && taller) {
        return who + " needs " + points(needed.width) + " × " + points(needed.height) + " px; this zone is " +
               points(zone.width) + " × " + points(zone.height) + " px";
    }
    if (wider) return who + " needs " + points(needed.width) + " px; this zone is " + points(zone.width) + " px";
    if (taller) {
        return who + " needs " + points(needed.height) + " px of height; this zone is " + points(zone.height) + " px";
    }
    return {};
}

std::shared_ptr<const ApplicationIndex> ZoneService::applicationIndex() const {
    if (applications) {
        if (auto index = applications()) return index;
    }
    static const auto none = std::make_shared<const ApplicationIndex>();
    return none;
}

std::function<bool(std::string_view)> ZoneService::applicationTest(const WindowInfo& window) const {
    return [index = applicationIndex(), window, validClass = validUTF8(window.bundleIdentifier.value_or(""))](
               std::string_view stored) {
        return stored == validClass || index->names(stored, window.application());
    };
}

std::string ZoneService::localized(std::string_view english) {
    // The English text is the key of the string tables; English is the only language shipped.
    return std::string(english);
}

std::string ZoneService::localizedCount(std::string_view english, std::int64_t count) {
    // English has one form for 1 and another for every other number; the key names the other.
    static constexpr std::pair<std::string_view, std::string_view> singulars[] = {{"%lld zones", "%lld zone"}};
    std::string text = localized(english);
    if (count == 1) {
        for (const auto& [plural, singular] : singulars) {
            if (plural == english) text = localized(singular);
        }
    }
    if (const auto at = text.find("%lld"); at != std::string::npos) text.replace(at, 4, std::to_string(count));
    return text;
}

std::string localizedName(LayoutTemplate layoutTemplate) {
    return ZoneService::localized(layoutTemplate.displayName());
}

LayoutLibrary ZoneService::translatedStarter() {
    LayoutLibrary library = LayoutLibrary::starter();
    for (auto& layout : library.layouts) layout.name = localized(layout.name);
    return library;
}

ZoneService::ZoneService(std::shared_ptr<WindowEngine> engine, JSONDocumentStore<LayoutLibrary> store)
    : isExcluded([](const WindowInfo& info) { return !info.isStandard; }),
      engine_(std::move(engine)),
      store_(std::move(store)) {
    store_.mergeOutsideChanges(HomeMerge::layouts);
    auto loaded = store_.load();
    const char* starter = "the starter layouts";
    if (!loaded) {
        // The store has kept the bytes of a file that does not decode beside it; a file it could not
        // read at all, or that a newer version wrote, it leaves alone, and refuses to save over, for
        // the rest of the session.
        documentTrouble_ = DocumentTrouble::of(store_, localized(starter), false);
        log_.error("Could not load layouts, starting fresh: " + documentTrouble_->logLine());
        library_ = translatedStarter();
        return;
    }
    if (!loaded.value()) {
        library_ = translatedStarter();
        saveLibrary("Could not load layouts, starting fresh: ");
        return;
    }
    library_ = std::move(*loaded.value());
    // A newer version's layouts, used as far as they were read.
    documentTrouble_ = DocumentTrouble::of(store_, localized(starter), true);
    if (documentTrouble_) log_.error(documentTrouble_->logLine());
    if (library_.refreshPresetLayouts() && !store_.isOffLimits()) {
        // The user's layouts stay in memory whatever happens to this save; a later change saves them.
        // Logged as a failed load: the library on disk is still the unmigrated one.
        saveLibrary("Could not load layouts, starting fresh: ");
    }
}

void ZoneService::setLibrary(LayoutLibrary library) {
    if (library == library_) return;
    library_ = std::move(library);
    laidOut_.clear();
    changed_.emit();
}

std::vector<Zone> ZoneService::zones(const DisplayInfo& display) const {
    for (const LaidOut& entry : laidOut_) {
        if (entry.workArea == display.workArea && entry.identifier == display.identifier) return entry.zones;
    }
    constexpr std::size_t capacity = 32;
    if (laidOut_.size() >= capacity) laidOut_.clear();
    const auto layout = library_.layout(display.displayKey());
    laidOut_.push_back({display.identifier, display.workArea,
                        layout ? ZoneGeometry::zones(*layout, display.workArea) : std::vector<Zone>{}});
    return laidOut_.back().zones;
}

Expected<SetFrameResult, ZoneService::SnapError> ZoneService::snap(const WindowHandle& window, std::int64_t zoneIndex) {
    if (onSnapAsked) onSnapAsked(window);
    const auto info = engine_->info(window);
    if (!info) return unexpected(SnapError::noWindow());
    if (isExcluded && isExcluded(*info)) return unexpected(SnapError::excluded());
    const auto display = DisplayProvider::display(info->frame, DisplayProvider::displays());
    if (!display) return unexpected(SnapError::noDisplay());
    const auto zoneList = zones(*display);
    const auto zone = std::find_if(zoneList.begin(), zoneList.end(), [&](const Zone& z) { return z.index == zoneIndex; });
    if (zone == zoneList.end()) return unexpected(SnapError::noSuchZone(zoneIndex));
    return setZoneFrame(window, *info, *display, *zone);
}

Expected<SetFrameResult, ZoneService::SnapError> ZoneService::place(const WindowHandle& window, const WindowInfo& info,
                                                                    const DisplayInfo& display, const Zone& zone) {
    if (onSnapAsked) onSnapAsked(window);
    return setZoneFrame(window, info, display, zone);
}

Expected<SetFrameResult, ZoneService::SnapError> ZoneService::setZoneFrame(const WindowHandle& window,
                                                                           const WindowInfo& info,
                                                                           const DisplayInfo& display, const Zone& zone) {
    SetFrameResult result = engine_->setFrame(zone.rect, window);
    if (!result.succeeded()) {
        if (result.unanswered) return unexpected(SnapError::noWindowManager(std::move(result)));
        std::string name = applicationName ? applicationName(info) : info.bundleIdentifier.value_or("");
        return unexpected(SnapError::rejected(std::move(result), std::move(name)));
    }
    if (onSnapped) onSnapped(window, display, {zone.index});
    return result;
}

void ZoneService::saveChange(const std::function<void(LayoutLibrary&)>& change) {
    change(library_);
    laidOut_.clear();
    changed_.emit();
    saveLibrary();
    if (onChanged) onChanged();
}

void ZoneService::saveLibrary(std::optional<std::string_view> logPrefix) {
    if (!saveReport_.save(store_, library_, log_, logPrefix)) return;
    // Another instance's changes came in with the save.
    laidOut_.clear();
    changed_.emit();
}

void ZoneService::takeOutsideChanges() {
    if (auto merged = store_.outsideChange(library_)) setLibrary(std::move(*merged));
}

void ZoneService::updateLibrary(const std::function<void(LayoutLibrary&)>& change) { saveChange(change); }

void ZoneService::removeAssignment(const DisplayInfo& display) {
    const std::string key = display.displayKey().description();
    saveChange([&](LayoutLibrary& library) { library.assignments.erase(key); });
}

void ZoneService::cycleLayout(const DisplayInfo& display, std::int64_t offset) {
    const auto& layouts = library_.layouts;
    if (layouts.empty()) return;
    const DisplayKey key = display.displayKey();
    const auto count = static_cast<std::int64_t>(layouts.size());
    std::int64_t position = 0;
    if (const auto current = library_.layout(key)) {
        const auto found = std::find_if(layouts.begin(), layouts.end(),
                                        [&](const ZoneLayout& layout) { return layout.id == current->id; });
        if (found != layouts.end()) position = found - layouts.begin();
    }
    // ((position + offset) mod count + count) mod count, without overflow for any offset.
    const std::int64_t next = ((position + offset % count) % count + count) % count;
    const UUID id = layouts[static_cast<std::size_t>(next)].id;
    saveChange([&](LayoutLibrary& library) { library.assign(id, key); });
}

}  // namespace tessary
