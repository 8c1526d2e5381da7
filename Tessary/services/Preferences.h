#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Logger.h"
#include "Platform/Signal.h"
#include "Platform/UserDefaults.h"
#include "Tessary/services/ActivationModifier.h"
#include "Tessary/services/DragKeys.h"
#include "Tessary/services/SpanModifier.h"
#include "TessaryCore/JSONCoding.h"
#include "WindowEngine/WindowInfo.h"

namespace tessary {

// The appearance of the application's own windows.
enum class AppAppearance { system, light, dark };

inline constexpr std::array<AppAppearance, 3> allAppAppearances = {AppAppearance::system, AppAppearance::light,
                                                                   AppAppearance::dark};

std::string_view rawValue(AppAppearance appearance);
std::optional<AppAppearance> appAppearanceFromRawValue(std::string_view raw);

// An sRGB colour, each component from 0 to 1; alpha is used as an opacity.
struct ColorComponents {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // Equal only when all four components are exactly equal.
    friend bool operator==(const ColorComponents&, const ColorComponents&) = default;

    json::Json toJSON() const;
    // All four keys are required; throws json::DecodingError otherwise.
    static ColorComponents fromJSON(const json::Json& value);
};

// The settings, named as they are stored.
enum class PreferenceSetting {
    activationModifier,
    spanModifier,
    overlayColor,
    zoneOpacity,
    highlightOpacity,
    showZoneNumbers,
    flashOnLayoutChange,
    excludedBundleIDs,
    restoreOnDisplayChange,
    moveNewWindowsToLastZone,
    centerUnresizableWindows,
    iCloudSyncEnabled,
    appearance,
};

// The user's settings: thirteen values kept together as one JSON value under "preferences.v1" in
// user defaults. Every assignment rewrites the stored value, even when nothing changed; observers
// hear only of real changes. Main thread only.
//
// A stored value is read key by key: a key that is missing or malformed (a hand edit, a newer
// version's value) takes its default and is logged, and every other key keeps its stored value.
// Keys this version does not know are kept and written back.
//
// The drag key and the span key never name one key (DragKeys): a setter that gives one the other's
// key moves the other to its partner. A stored value where both name one key (written before this
// rule) keeps its drag key, the one that decides whether the zones show at all, and reads the span
// key as the drag key's partner (both Ctrl: spanning on Super); the stored text stays as it is
// until a setting is next saved, and the reading is logged.
//
// A stored value that another instance of the program wrote (the user's, on another display) is
// read again as soon as the user defaults hear of it, and observers are told of each setting it
// changed: a later assignment here then writes those settings back as they are, not as they were.
class Preferences final {
public:
    static constexpr std::string_view storageKey = "preferences.v1";

    // The defaults of the settings.
    static constexpr ActivationModifier defaultActivationModifier = ActivationModifier::shift;
    static constexpr SpanModifier defaultSpanModifier = SpanModifier::control;
    static constexpr ColorComponents defaultOverlayColor{0.357, 0.294, 0.859, 1.0};
    static constexpr double defaultZoneOpacity = 0.5;
    static constexpr double defaultHighlightOpacity = 0.1;

    // Reads the stored value (see above), and again whenever another process changes it; writes
    // nothing.
    explicit Preferences(UserDefaults& defaults);
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    ActivationModifier activationModifier() const { return activationModifier_; }
    SpanModifier spanModifier() const { return spanModifier_; }
    ColorComponents overlayColor() const { return overlayColor_; }
    double zoneOpacity() const { return zoneOpacity_; }
    double highlightOpacity() const { return highlightOpacity_; }
    bool showZoneNumbers() const { return showZoneNumbers_; }
    bool flashOnLayoutChange() const { return flashOnLayoutChange_; }
    const std::vector<std::string>& excludedBundleIDs() const { return excludedBundleIDs_; }
    bool restoreOnDisplayChange() const { return restoreOnDisplayChange_; }
    bool moveNewWindowsToLastZone() const { return moveNewWindowsToLastZone_; }
    bool centerUnresizableWindows() const { return centerUnresizableWindows_; }
    bool iCloudSyncEnabled() const { return iCloudSyncEnabled_; }
    AppAppearance appearance() const { return appearance_; }

    DragKeys dragKeys() const { return {activationModifier_, spanModifier_}; }
    // Whether the stored value names a drag key: false until one was saved (a first start).
    bool storesDragKey() const { return dragKeyStored_; }

    // Each setter stores the value and saves; observers are told only when the value changed.
    // Giving one drag key the other's key moves the other (withActivation, withSpan).
    void setActivationModifier(ActivationModifier value);
    void setSpanModifier(SpanModifier value);
    // Both at once, made distinct as setActivationModifier would; saves once.
    void setDragKeys(DragKeys keys);
    // Components are kept within 0 to 1; a colour with a component that is not a finite number is
    // refused (logged, nothing stored or saved), since it could never be saved.
    void setOverlayColor(ColorComponents value);
    // Kept within 0 to 1; a value that is not a finite number is refused like a colour's.
    void setZoneOpacity(double value);
    void setHighlightOpacity(double value);
    void setShowZoneNumbers(bool value);
    void setFlashOnLayoutChange(bool value);
    // Identifiers that are not valid UTF-8 text cannot be saved and are dropped (logged).
    void setExcludedBundleIDs(std::vector<std::string> value);
    void setRestoreOnDisplayChange(bool value);
    void setMoveNewWindowsToLastZone(bool value);
    void setCenterUnresizableWindows(bool value);
    void setICloudSyncEnabled(bool value);
    // Applies the appearance after saving, whether or not it changed.
    void setAppearance(AppAppearance value);

    // Writes the current values under "preferences.v1".
    void save();
    // Gives the application's windows the chosen appearance through `appearanceHandler`.
    void applyAppearance();
    // Puts the zone-appearance settings (colour, both opacities, numbers, flash) back to their
    // defaults, each through its setter; the other eight settings are left alone.
    void resetToDefaults();

    // The application's window filter: true (leave the window alone) for a window that is not a
    // standard window, or whose application an excluded identifier names (as the installed
    // `applications` tell, ApplicationIndex::names; an identifier equal to the window's is always
    // its own); an absent application identifier is compared as the empty text.
    bool isIgnoredWindow(const WindowInfo& window, const ApplicationIndex& applications) const;
    // The same with no applications installed: identifiers name windows by their class.
    bool isIgnoredWindow(const WindowInfo& window) const;

    // Called after a real change of a setting, once the new value is stored and saved.
    [[nodiscard]] Subscription observe(std::function<void(PreferenceSetting)> observer);

    // How an appearance reaches the application; unset (no application object) does nothing.
    std::function<void(AppAppearance)> appearanceHandler;

private:
    void load();
    // Reads the stored value again and tells the observers of each setting that changed.
    void reload();
    // The stored JSON text.
    std::string snapshot() const;
    template <typename T>
    void assign(T& member, T value, PreferenceSetting setting);

    UserDefaults& defaults_;
    Logger log_{"Preferences"};
    Signal<PreferenceSetting> changed_;

    ActivationModifier activationModifier_ = defaultActivationModifier;
    SpanModifier spanModifier_ = defaultSpanModifier;
    ColorComponents overlayColor_ = defaultOverlayColor;
    double zoneOpacity_ = defaultZoneOpacity;
    double highlightOpacity_ = defaultHighlightOpacity;
    bool showZoneNumbers_ = true;
    bool flashOnLayoutChange_ = true;
    std::vector<std::string> excludedBundleIDs_;
    bool restoreOnDisplayChange_ = true;
    bool moveNewWindowsToLastZone_ = false;
    bool centerUnresizableWindows_ = true;
    bool iCloudSyncEnabled_ = false;
    AppAppearance appearance_ = AppAppearance::system;

    bool dragKeyStored_ = false;

    // Keys of the stored value that this version does not know, written back as they were.
    json::Json unknownKeys_ = json::Json::object();
    Subscription outsideChanges_;
};

}  // namespace tessary
