#include "TessaryCore/ZoneLayout.h"

#include "TessaryCore/DisplayKey.h"

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
    json::Json out{{"id", id.toJSON()},
                   {"name", name},
                   {"kind", kind.toJSON()},
                   {"spacing", json::fromDouble(spacing, "spacing")},
                   {"padding", json::fromDouble(padding, "padding")},
                   {"modifiedAt", modifiedAt_.toJSON()}};
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
