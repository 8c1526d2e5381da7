#include "TessaryCore/ZoneLayout.h"

#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"

namespace tessary {

namespace {
constexpr double kDefaultGap = 8.0;
}

ZoneLayout::ZoneLayout(UUID id, std::string name, LayoutKind kind, double spacing, double padding,
                       std::optional<Origin> origin, Date modifiedAt)
    : id(id),
      name(std::move(name)),
      kind(std::move(kind)),
      spacing(spacing),
      padding(padding),
      origin(std::move(origin)),
      modifiedAt_(modifiedAt.roundedToMilliseconds()) {}

ZoneLayout::ZoneLayout(LayoutTemplate layoutTemplate, std::int64_t zoneCount, std::optional<std::string> name)
    : ZoneLayout(UUID::random(), name ? std::move(*name) : std::string(layoutTemplate.displayName()),
                 layoutTemplate.kind(zoneCount), kDefaultGap, kDefaultGap,
                 Origin{layoutTemplate, zoneCount, std::nullopt}, Date::now()) {}

std::int64_t ZoneLayout::zoneCount() const {
    if (const ZoneCanvas* canvas = kind.canvas()) return static_cast<std::int64_t>(canvas->zones.size());
    return kind.grid()->zoneCount();
}

void ZoneLayout::rebuildFromOrigin() {
    if (!origin) return;
    if (origin->preset) {
        if (const LayoutPreset* preset = LayoutPreset::preset(*origin->preset)) {
            kind = preset->build();
            return;
        }
        // An identifier this version does not know (a newer version's preset, a hand-edited file)
        // falls back to the origin's template, except the blank one, which would empty the layout.
        if (origin->layoutTemplate == LayoutTemplate::blank) return;
    }
    kind = origin->layoutTemplate.kind(origin->zoneCount);
}

void ZoneLayout::apply(const LayoutPreset& preset) {
    ZoneLayout made = preset.makeLayout();
    origin = std::move(made.origin);
    kind = std::move(made.kind);
}

void ZoneLayout::apply(LayoutTemplate layoutTemplate, std::int64_t zoneCount) {
    origin = Origin{layoutTemplate, zoneCount, std::nullopt};
    kind = layoutTemplate.kind(zoneCount);
}

std::optional<ZoneLayout::Origin> ZoneLayout::inferredOrigin() const {
    for (const LayoutPreset& preset : LayoutPreset::all()) {
        if (preset.build() == kind) return preset.makeLayout().origin;
    }
    for (LayoutTemplate t : {LayoutTemplate::focus, LayoutTemplate::columns, LayoutTemplate::rows, LayoutTemplate::grid,
                             LayoutTemplate::priorityGrid}) {
        for (std::int64_t n = 1; n <= 12; ++n) {
            if (t.kind(n) == kind) return Origin{t, n, std::nullopt};
        }
    }
    if (const ZoneCanvas* canvas = kind.canvas(); canvas && canvas->zones.empty()) {
        return Origin{LayoutTemplate::blank, 0, std::nullopt};
    }
    const auto& starters = LayoutLibrary::starterOrigins();
    if (const auto it = starters.find(name); it != starters.end()) return it->second;
    return std::nullopt;
}

json::Json ZoneLayout::Origin::toJSON() const {
    json::Json out{{"template", layoutTemplate.toJSON()}, {"zoneCount", zoneCount}};
    if (preset) out["preset"] = *preset;
    return out;
}

ZoneLayout::Origin ZoneLayout::Origin::fromJSON(const json::Json& value) {
    return Origin{LayoutTemplate::fromJSON(json::require(value, "template")), json::requireInt64(value, "zoneCount"),
                  json::optionalString(value, "preset")};
}

json::Json ZoneLayout::toJSON() const {
    json::Json out = json::Json::object();
    out["id"] = id.toJSON();
    out["name"] = name;
    out["kind"] = kind.toJSON();
    out["spacing"] = json::fromDouble(spacing, "spacing");
    out["padding"] = json::fromDouble(padding, "padding");
    out["modifiedAt"] = modifiedAt_.toJSON();
    if (origin) out["origin"] = origin->toJSON();
    return out;
}

ZoneLayout ZoneLayout::fromJSON(const json::Json& value) {
    std::optional<Origin> origin;
    if (const json::Json* stored = json::optional(value, "origin")) origin = Origin::fromJSON(*stored);
    return ZoneLayout(UUID::fromJSON(json::require(value, "id")), json::requireString(value, "name"),
                      LayoutKind::fromJSON(json::require(value, "kind")), json::requireDouble(value, "spacing"),
                      json::requireDouble(value, "padding"), std::move(origin),
                      Date::fromJSON(json::require(value, "modifiedAt")));
}

}  // namespace tessary

std::size_t std::hash<tessary::ZoneLayout::Origin>::operator()(const tessary::ZoneLayout::Origin& origin) const noexcept {
    std::size_t seed = std::hash<tessary::LayoutTemplate>{}(origin.layoutTemplate);
    tessary::hashCombine(seed, std::hash<std::int64_t>{}(origin.zoneCount));
    tessary::hashCombine(seed, origin.preset ? 1 : 0);
    if (origin.preset) tessary::hashCombine(seed, std::hash<std::string>{}(*origin.preset));
    return seed;
}

std::size_t std::hash<tessary::ZoneLayout>::operator()(const tessary::ZoneLayout& layout) const noexcept {
    const auto hashDouble = [](double v) { return std::hash<double>{}(v == 0 ? 0.0 : v); };
    std::size_t seed = std::hash<tessary::UUID>{}(layout.id);
    tessary::hashCombine(seed, std::hash<std::string>{}(layout.name));
    tessary::hashCombine(seed, std::hash<tessary::LayoutKind>{}(layout.kind));
    tessary::hashCombine(seed, hashDouble(layout.spacing));
    tessary::hashCombine(seed, hashDouble(layout.padding));
    tessary::hashCombine(seed, layout.origin ? 1 : 0);
    if (layout.origin) tessary::hashCombine(seed, std::hash<tessary::ZoneLayout::Origin>{}(*layout.origin));
    tessary::hashCombine(seed, std::hash<tessary::Date>{}(layout.modifiedAt()));
    return seed;
}
