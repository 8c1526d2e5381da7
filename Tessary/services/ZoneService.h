#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/ApplicationIndex.h"
#include "Platform/Logger.h"
#include "Platform/Signal.h"
#include "Tessary/services/DocumentTrouble.h"
#include "Tessary/services/SaveReport.h"
#include "TessaryCore/Expected.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/Zone.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/SetFrameResult.h"
#include "WindowEngine/WindowEngine.h"

namespace tessary {

// Owns the one layout library of the running program and is the one place that puts a window into
// a zone by number. It loads "layouts.json" when constructed (the starter library when there is
// none), saves after every change, answers which zones a display has, snaps a window into zone N
// and cycles the layout of a display. It also holds what every service shares: the window engine,
// the window filter and the placement notice. Main loop only.
class ZoneService final {
public:
    // Why a snap failed; description() is the sentence shown or logged.
    struct SnapError {
        enum class Code {
            noSuchZone,  // the display's layout has no zone with that index
            rejected,    // the window did not end up within 2.0 points of the zone
            noWindow,    // the engine knows nothing of the window (it is gone)
            excluded,    // the window filter says to leave the window alone
            noDisplay,   // no display could be found for the window
            noWindowManager,  // nobody carried out the move: no window manager runs
        };

        Code code = Code::noWindow;
        // noSuchZone: the index asked for (counted from 0; outside input may give any value).
        std::int64_t zoneIndex = 0;
        // rejected, noWindowManager: what the window was asked for and what it took.
        std::optional<SetFrameResult> result;
        // rejected: the name of the window's application, as the user knows it.
        std::string application;

        static SnapError noSuchZone(std::int64_t index) { return {Code::noSuchZone, index, std::nullopt, {}}; }
        static SnapError rejected(SetFrameResult result, std::string application = {}) {
            return {Code::rejected, 0, std::move(result), std::move(application)};
        }
        static SnapError noWindow() { return {Code::noWindow, 0, std::nullopt, {}}; }
        static SnapError excluded() { return {Code::excluded, 0, std::nullopt, {}}; }
        static SnapError noDisplay() { return {Code::noDisplay, 0, std::nullopt, {}}; }
        static SnapError noWindowManager(SetFrameResult result) {
            return {Code::noWindowManager, 0, std::move(result), {}};
        }
        // Rejected because the window ended larger than the zone (its least size is larger): the
        // engine kept it on the display's work area.
        bool doesNotFit() const;
        // Rejected, yet placed as the centring preference places a window that cannot fill the
        // zone (a fixed size): smaller than the zone, centred in it. The snap did what the user's
        // setting asks, as far as the window allows: a failure to report, not one to tell of.
        bool centredInZone() const;

        // "zone 5 does not exist in this layout" (the zone counted from 1, for every index without
        // overflow), "the app did not accept the new size or position", "no window", "window belongs
        // to an excluded app", "window is on no display", "no window manager is running"; for a window
        // that does not fit, what it needs (doesNotFitText) in place of the rejection's sentence, and
        // for one held to keep its shadow on the screen "the window manager keeps the window's shadow
        // on the screen".
        std::string description() const;

        friend bool operator==(const SnapError&, const SnapError&) = default;
    };

    using SnapHandler = std::function<void(const WindowHandle&, const DisplayInfo&, const std::vector<std::int64_t>&)>;

    // Loads, migrates or creates the library (see the source for the order of things and what is
    // logged). A file that exists but could not be read stays untouched for the session: the store
    // refuses every save to it, and each change is logged as a failed save.
    ZoneService(std::shared_ptr<WindowEngine> engine, JSONDocumentStore<LayoutLibrary> store);
    ZoneService(const ZoneService&) = delete;
    ZoneService& operator=(const ZoneService&) = delete;

    // The engine through which every service reads and moves windows; never replaced.
    WindowEngine& engine() const { return *engine_; }
    const JSONDocumentStore<LayoutLibrary>& store() const { return store_; }
    // What was wrong with "layouts.json" at the start (damaged, newer, too large, unreadable), if anything.
    const std::optional<DocumentTrouble>& documentTrouble() const { return documentTrouble_; }
    // How the saves of the document fare: the cause of the last failure, and the notices to give.
    SaveReport& saveReport() { return saveReport_; }
    const SaveReport& saveReport() const { return saveReport_; }

    const LayoutLibrary& library() const { return library_; }
    // Replaces the library without saving or reporting; observers hear of it only when it differs.
    void setLibrary(LayoutLibrary library);
    // Called after every change of the library (every saving operation, and a differing setLibrary).
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }

    // The window filter: true leaves the window alone. By default, every window that is not standard.
    std::function<bool(const WindowInfo&)> isExcluded;
    // Told of every window placed into zones, by this service and by the other services that place
    // windows, with the window, its display and the zone indices.
    SnapHandler onSnapped;
    // Told of every window snap() and place() are asked to move, before anything is done to it.
    std::function<void(const WindowHandle&)> onSnapAsked;
    // Told after every saving operation, also when the save failed.
    std::function<void()> onChanged;

    // The zones of the display's current layout laid out in its work area, numbered from 0; none
    // when the library has no layouts. Laid out once per display and work area, and again after a
    // change of the library (drags ask on every pointer notice).
    std::vector<Zone> zones(const DisplayInfo& display) const;

    // The application's name as the user knows it, for the texts that name it (the program gives
    // its desktop entry's name). By default the window's application identifier.
    std::function<std::string(const WindowInfo&)> applicationName;
    // The installed applications (the program's launcher gives them). Rules, window memory,
    // workspaces and the window filter tell through them whether a stored application identifier
    // names a window's application (ApplicationIndex::names).
    std::function<std::shared_ptr<const ApplicationIndex>()> applications;
    // The index of one look-up: without `applications`, none installed, so an identifier names a
    // window by its class alone.
    std::shared_ptr<const ApplicationIndex> applicationIndex() const;
    // Whether a stored application identifier (a rule's, a saved window's, a remembered one's)
    // names the window's application: one look-up of the installed applications for every
    // identifier asked about. Identifiers are stored as valid UTF-8, and a window's raw class is
    // compared in that form too.
    std::function<bool(std::string_view)> applicationTest(const WindowInfo& window) const;

    // "Firefox needs 500 px; this zone is 470 px": a window whose least size `needed` is larger
    // than the zone's size on one axis ("... needs 600 px of height; this zone is 540 px") or on
    // both ("... needs 1356 × 800 px; this zone is 948 × 528 px"); empty when it fits (within the
    // 2.0 points of every frame comparison).
    static std::string doesNotFitText(const std::string& application, Size needed, Size zone);
    // Whether a window of that least size fits the zone, as doesNotFitText judges it.
    static bool fits(Size needed, Size zone);

    // Moves and resizes the window into zone `zoneIndex` (counted from 0) of the display it is on and
    // reports it through onSnapped. A window that ends larger than the zone does not fit (its least
    // size is larger): the engine kept it on the display's work area, and the rejection names its
    // application, so that it says what the window needs.
    // Nothing is logged here; callers show or log the error's text.
    Expected<SetFrameResult, SnapError> snap(const WindowHandle& window, std::int64_t zoneIndex);
    // The same for a zone the caller found itself (the keyboard's moves to a neighbouring zone or
    // display): sets the frame, judges it as snap() does and reports it through onSnapped.
    Expected<SetFrameResult, SnapError> place(const WindowHandle& window, const WindowInfo& info,
                                              const DisplayInfo& display, const Zone& zone);

    // Applies the change, tells the observers (even when nothing changed), saves and calls onChanged.
    void updateLibrary(const std::function<void(LayoutLibrary&)>& change);
    // Saves the library as it is (a save that failed, tried again); observers hear only of what a
    // merge with another instance's file brought.
    void saveAgain() { saveLibrary(); }
    // Takes in what another instance of the program (another display of the user's) wrote to
    // "layouts.json", merged with this library; saves nothing.
    void takeOutsideChanges();
    // Drops the display's assignment, so that it uses the default layout (else the first).
    void removeAssignment(const DisplayInfo& display);
    // Assigns the layout `offset` places further in the library's order (wrapping at both ends).
    // Does nothing at all when the library has no layouts.
    void cycleLayout(const DisplayInfo& display, std::int64_t offset);

    // The English texts of the starter layouts' names and of the templates, in the user's language.
    static std::string localized(std::string_view english);
    // A text with one "%lld" (such as "%lld zones") in the user's language, in its form for
    // `count` and with the number filled in: "1 zone", "4 zones".
    static std::string localizedCount(std::string_view english, std::int64_t count);
    // The library a user without a usable layouts document starts with, names translated.
    static LayoutLibrary translatedStarter();

private:
    Expected<SetFrameResult, SnapError> setZoneFrame(const WindowHandle& window, const WindowInfo& info,
                                                     const DisplayInfo& display, const Zone& zone);
    void saveChange(const std::function<void(LayoutLibrary&)>& change);
    void saveLibrary(std::optional<std::string_view> logPrefix = std::nullopt);

    struct LaidOut {
        std::string identifier;
        Rect workArea;
        std::vector<Zone> zones;
    };

    std::shared_ptr<WindowEngine> engine_;
    JSONDocumentStore<LayoutLibrary> store_;
    std::optional<DocumentTrouble> documentTrouble_;
    SaveReport saveReport_{"layouts", "Could not save layouts: "};
    LayoutLibrary library_;
    // Emptied whenever library_ changes; at most a few entries per connected display.
    mutable std::vector<LaidOut> laidOut_;
    Signal<> changed_;
    Logger log_{"ZoneService"};
};

// A template's name in the user's language ("Priority Grid"), used as the default name of a new layout.
std::string localizedName(LayoutTemplate layoutTemplate);

}  // namespace tessary
