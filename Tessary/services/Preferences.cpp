#include "Tessary/services/Preferences.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace tessary {

using json::Json;

namespace {

// The colour that earlier versions used by default; a user who never chose one gets today's.
constexpr ColorComponents formerDefaultOverlayColor{0.212, 0.541, 0.902, 1.0};

double clampedUnit(double value) { return std::clamp(value, 0.0, 1.0); }

bool isFinite(const ColorComponents& c) {
    return std::isfinite(c.red) && std::isfinite(c.green) && std::isfinite(c.blue) && std::isfinite(c.alpha);
}

ColorComponents clampedColor(ColorComponents c) {
    return {clampedUnit(c.red), clampedUnit(c.green), clampedUnit(c.blue), clampedUnit(c.alpha)};
}

ColorComponents migrated(ColorComponents c) {
    if (c == formerDefaultOverlayColor) return Preferences::defaultOverlayColor;
    return c;
}

bool isEncodable(const std::string& text) {
    try {
        (void)json::dumpCompact(Json(text));
        return true;
    } catch (const json::EncodingError&) {
        return false;
    }
}

constexpr std::array<std::string_view, 13> knownKeys = {
    "activationModifier", "spanModifier",    "overlayColor",       "zoneOpacity",
    "highlightOpacity",   "showZoneNumbers", "flashOnLayoutChange", "excludedBundleIDs",
    "restoreOnDisplayChange", "moveNewWindowsToLastZone", "iCloudSyncEnabled", "appearance",
    "centerUnresizableWindows"};

}  // namespace

std::string_view rawValue(AppAppearance appearance) {
    switch (appearance) {
    case AppAppearance::system: return "system";
    case AppAppearance::light: return "light";
    case AppAppearance::dark: return "dark";
    }
    return "system";
}

std::optional<AppAppearance> appAppearanceFromRawValue(std::string_view raw) {
    for (const auto appearance : allAppAppearances) {
        if (rawValue(appearance) == raw) return appearance;
    }
    return std::nullopt;
}

Json ColorComponents::toJSON() const {
    return Json::object({{"red", json::fromDouble(red, "red")},
                         {"green", json::fromDouble(green, "green")},
                         {"blue", json::fromDouble(blue, "blue")},
                         {"alpha", json::fromDouble(alpha, "alpha")}});
}

ColorComponents ColorComponents::fromJSON(const Json& value) {
    json::asObject(value, "overlayColor");
    return {json::requireDouble(value, "red"), json::requireDouble(value, "green"), json::requireDouble(value, "blue"),
            json::requireDouble(value, "alpha")};
}

Preferences::Preferences(UserDefaults& defaults) : defaults_(defaults) {
    load();
    outsideChanges_ = defaults_.observeOutsideChanges([this] { reload(); });
}

void Preferences::reload() {
    // In PreferenceSetting's order.
    const auto values = [this] {
        return std::make_tuple(activationModifier_, spanModifier_, overlayColor_, zoneOpacity_, highlightOpacity_,
                               showZoneNumbers_, flashOnLayoutChange_, excludedBundleIDs_, restoreOnDisplayChange_,
                               moveNewWindowsToLastZone_, centerUnresizableWindows_, iCloudSyncEnabled_, appearance_);
    };
    const auto was = values();
    unknownKeys_ = Json::object();
    load();
    const auto now = values();
    [&]<std::size_t... setting>(std::index_sequence<setting...>) {
        ((std::get<setting>(was) == std::get<setting>(now) ? void() : changed_.emit(PreferenceSetting(setting))), ...);
    }(std::make_index_sequence<std::tuple_size_v<decltype(was)>>());
}

void Preferences::load() {
    dragKeyStored_ = false;
    const auto data = defaults_.dataValue(storageKey);
    if (!data) {
        if (defaults_.contains(storageKey)) {
            log_.error("The stored preferences are not in the expected form; every setting takes its default");
        }
        return;
    }
    Json stored;
    try {
        stored = json::parse(*data);
        json::asObject(stored, "preferences");
    } catch (const json::DecodingError& failure) {
        log_.error(std::string("The stored preferences cannot be read; every setting takes its default: ") +
                   failure.what());
        return;
    }

    // One bad key costs only that setting: it keeps its default and the failure is logged.
    auto read = [&](std::string_view key, auto&& apply) {
        try {
            apply(json::require(stored, key));
        } catch (const json::DecodingError& failure) {
            log_.error("Preference \"" + std::string(key) + "\" cannot be read and takes its default: " + failure.what());
        }
    };
    auto enumeration = [](const Json& value, std::string_view key, auto fromRaw) {
        const std::string raw = json::asString(value, key);
        const auto decoded = fromRaw(raw);
        if (!decoded) throw json::DecodingError("\"" + raw + "\" is not a known value.");
        return *decoded;
    };

    dragKeyStored_ = stored.contains("activationModifier");
    read("activationModifier", [&](const Json& v) {
        activationModifier_ = enumeration(v, "activationModifier", activationModifierFromRawValue);
    });
    read("spanModifier",
         [&](const Json& v) { spanModifier_ = enumeration(v, "spanModifier", spanModifierFromRawValue); });
    read("overlayColor", [&](const Json& v) { overlayColor_ = clampedColor(ColorComponents::fromJSON(v)); });
    read("zoneOpacity", [&](const Json& v) { zoneOpacity_ = clampedUnit(json::asDouble(v, "zoneOpacity")); });
    read("highlightOpacity",
         [&](const Json& v) { highlightOpacity_ = clampedUnit(json::asDouble(v, "highlightOpacity")); });
    read("showZoneNumbers", [&](const Json& v) { showZoneNumbers_ = json::asBool(v, "showZoneNumbers"); });
    read("flashOnLayoutChange", [&](const Json& v) { flashOnLayoutChange_ = json::asBool(v, "flashOnLayoutChange"); });
    read("excludedBundleIDs", [&](const Json& v) {
        excludedBundleIDs_ = json::asStringArray(v, "excludedBundleIDs");
    });
    read("restoreOnDisplayChange",
         [&](const Json& v) { restoreOnDisplayChange_ = json::asBool(v, "restoreOnDisplayChange"); });
    read("moveNewWindowsToLastZone",
         [&](const Json& v) { moveNewWindowsToLastZone_ = json::asBool(v, "moveNewWindowsToLastZone"); });
    read("iCloudSyncEnabled", [&](const Json& v) { iCloudSyncEnabled_ = json::asBool(v, "iCloudSyncEnabled"); });
    read("appearance",
         [&](const Json& v) { appearance_ = enumeration(v, "appearance", appAppearanceFromRawValue); });
    // Optional: absent or null reads as on, as it did before the setting existed.
    try {
        const auto center = json::optionalBool(stored, "centerUnresizableWindows");
        centerUnresizableWindows_ = center.value_or(true);
    } catch (const json::DecodingError& failure) {
        log_.error(std::string("Preference \"centerUnresizableWindows\" cannot be read and takes its default: ") +
                   failure.what());
    }

    for (const auto& [key, value] : stored.items()) {
        if (std::find(knownKeys.begin(), knownKeys.end(), key) == knownKeys.end()) unknownKeys_[key] = value;
    }
    overlayColor_ = migrated(overlayColor_);
    if (sameKey(activationModifier_, spanModifier_)) {
        spanModifier_ = withActivation(dragKeys(), activationModifier_).span;
        log_.notice("The stored drag key and span key are both " + std::string(displayName(activationModifier_)) +
                    ": " + std::string(displayName(activationModifier_)) + " shows the zones and " +
                    std::string(displayName(spanModifier_)) + " spans them");
    }
}

std::string Preferences::snapshot() const {
    // Written member by member: a JSON object here keeps its keys sorted, and the stored value lists
    // them in the documented order (reading does not care). Keys of a newer version come first, so
    // that the optional "centerUnresizableWindows" stays last.
    auto text = [](const Json& value) { return json::dumpCompact(value); };
    auto object = [](const std::vector<std::pair<std::string, std::string>>& members) {
        std::string result = "{";
        for (const auto& [key, value] : members) {
            if (result.size() > 1) result += ',';
            result += json::dumpCompact(Json(key)) + ':' + value;
        }
        return result + "}";
    };
    std::vector<std::pair<std::string, std::string>> members;
    for (const auto& [key, value] : unknownKeys_.items()) members.emplace_back(key, text(value));
    const std::pair<std::string, std::string> known[] = {
        {"activationModifier", text(rawValue(activationModifier_))},
        {"spanModifier", text(rawValue(spanModifier_))},
        {"overlayColor", object({{"red", text(json::fromDouble(overlayColor_.red, "red"))},
                                 {"green", text(json::fromDouble(overlayColor_.green, "green"))},
                                 {"blue", text(json::fromDouble(overlayColor_.blue, "blue"))},
                                 {"alpha", text(json::fromDouble(overlayColor_.alpha, "alpha"))}})},
        {"zoneOpacity", text(json::fromDouble(zoneOpacity_, "zoneOpacity"))},
        {"highlightOpacity", text(json::fromDouble(highlightOpacity_, "highlightOpacity"))},
        {"showZoneNumbers", text(showZoneNumbers_)},
        {"flashOnLayoutChange", text(flashOnLayoutChange_)},
        {"excludedBundleIDs", text(excludedBundleIDs_)},
        {"restoreOnDisplayChange", text(restoreOnDisplayChange_)},
        {"moveNewWindowsToLastZone", text(moveNewWindowsToLastZone_)},
        {"iCloudSyncEnabled", text(iCloudSyncEnabled_)},
        {"appearance", text(rawValue(appearance_))},
        {"centerUnresizableWindows", text(centerUnresizableWindows_)},
    };
    members.insert(members.end(), std::begin(known), std::end(known));
    return object(members);
}

void Preferences::save() {
    try {
        defaults_.set(storageKey, UserDefaultsData{snapshot()});
        dragKeyStored_ = true;
    } catch (const json::EncodingError& failure) {
        // The setters keep every value encodable, so this is a bug, not a user's doing.
        log_.fault(std::string("The preferences cannot be saved: ") + failure.what());
    }
}

template <typename T>
void Preferences::assign(T& member, T value, PreferenceSetting setting) {
    const bool changed = !(member == value);
    member = std::move(value);
    save();
    if (changed) changed_.emit(setting);
}

void Preferences::setActivationModifier(ActivationModifier value) { setDragKeys(withActivation(dragKeys(), value)); }

void Preferences::setSpanModifier(SpanModifier value) { setDragKeys(withSpan(dragKeys(), value)); }

void Preferences::setDragKeys(DragKeys keys) {
    keys = withActivation(keys, keys.activation);
    const DragKeys was = dragKeys();
    activationModifier_ = keys.activation;
    spanModifier_ = keys.span;
    save();
    if (was.activation != keys.activation) changed_.emit(PreferenceSetting::activationModifier);
    if (was.span != keys.span) changed_.emit(PreferenceSetting::spanModifier);
}

void Preferences::setOverlayColor(ColorComponents value) {
    if (!isFinite(value)) {
        log_.error("Refused an overlay colour whose components are not all finite numbers");
        return;
    }
    assign(overlayColor_, clampedColor(value), PreferenceSetting::overlayColor);
}

void Preferences::setZoneOpacity(double value) {
    if (!std::isfinite(value)) {
        log_.error("Refused a zone opacity that is not a finite number");
        return;
    }
    assign(zoneOpacity_, clampedUnit(value), PreferenceSetting::zoneOpacity);
}

void Preferences::setHighlightOpacity(double value) {
    if (!std::isfinite(value)) {
        log_.error("Refused a highlight opacity that is not a finite number");
        return;
    }
    assign(highlightOpacity_, clampedUnit(value), PreferenceSetting::highlightOpacity);
}

void Preferences::setShowZoneNumbers(bool value) { assign(showZoneNumbers_, value, PreferenceSetting::showZoneNumbers); }

void Preferences::setFlashOnLayoutChange(bool value) {
    assign(flashOnLayoutChange_, value, PreferenceSetting::flashOnLayoutChange);
}

void Preferences::setExcludedBundleIDs(std::vector<std::string> value) {
    const auto removed = std::erase_if(value, [](const std::string& id) { return !isEncodable(id); });
    if (removed > 0) log_.error("Dropped excluded application identifiers that are not valid text");
    assign(excludedBundleIDs_, std::move(value), PreferenceSetting::excludedBundleIDs);
}

void Preferences::setRestoreOnDisplayChange(bool value) {
    assign(restoreOnDisplayChange_, value, PreferenceSetting::restoreOnDisplayChange);
}

void Preferences::setMoveNewWindowsToLastZone(bool value) {
    assign(moveNewWindowsToLastZone_, value, PreferenceSetting::moveNewWindowsToLastZone);
}

void Preferences::setCenterUnresizableWindows(bool value) {
    assign(centerUnresizableWindows_, value, PreferenceSetting::centerUnresizableWindows);
}

void Preferences::setICloudSyncEnabled(bool value) {
    assign(iCloudSyncEnabled_, value, PreferenceSetting::iCloudSyncEnabled);
}

void Preferences::setAppearance(AppAppearance value) {
    assign(appearance_, value, PreferenceSetting::appearance);
    applyAppearance();
}

void Preferences::applyAppearance() {
    if (appearanceHandler) appearanceHandler(appearance_);
}

void Preferences::resetToDefaults() {
    setOverlayColor(defaultOverlayColor);
    setZoneOpacity(defaultZoneOpacity);
    setHighlightOpacity(defaultHighlightOpacity);
    setShowZoneNumbers(true);
    setFlashOnLayoutChange(true);
}

bool Preferences::isIgnoredWindow(const WindowInfo& window, const ApplicationIndex& applications) const {
    if (!window.isStandard) return true;
    const std::string_view id = window.bundleIdentifier ? std::string_view(*window.bundleIdentifier) : std::string_view();
    if (std::find(excludedBundleIDs_.begin(), excludedBundleIDs_.end(), id) != excludedBundleIDs_.end()) return true;
    return applications.namesAny(excludedBundleIDs_, window.application());
}

bool Preferences::isIgnoredWindow(const WindowInfo& window) const {
    static const ApplicationIndex none;
    return isIgnoredWindow(window, none);
}

Subscription Preferences::observe(std::function<void(PreferenceSetting)> observer) {
    return changed_.subscribe(std::move(observer));
}

}  // namespace tessary
