#include "Tessary/integrations/Entities.h"

#include <algorithm>

#include "Tessary/integrations/IntentServices.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

template <typename Item, typename Key, typename Make, typename KeyOf>
auto kept(const std::vector<Item>& source, const std::vector<Key>* identifiers, KeyOf keyOf, Make make) {
    std::vector<decltype(make(source.front()))> entities;
    for (const Item& item : source) {
        if (identifiers && std::find(identifiers->begin(), identifiers->end(), keyOf(item)) == identifiers->end()) {
            continue;
        }
        entities.push_back(make(item));
    }
    return entities;
}

std::vector<LayoutEntity> layouts(const std::vector<UUID>* identifiers) {
    static const std::vector<ZoneLayout> none;
    const auto& source = IntentServices::zones ? IntentServices::zones->library().layouts : none;
    return kept(
        source, identifiers, [](const ZoneLayout& layout) { return layout.id; },
        [](const ZoneLayout& layout) { return LayoutEntity{layout.id, layout.name, layout.zoneCount()}; });
}

std::vector<WorkspaceEntity> workspaces(const std::vector<UUID>* identifiers) {
    static const std::vector<Workspace> none;
    const auto& source = IntentServices::workspaces ? IntentServices::workspaces->library().workspaces : none;
    return kept(
        source, identifiers, [](const Workspace& workspace) { return workspace.id; },
        [](const Workspace& workspace) { return WorkspaceEntity{workspace.id, workspace.name}; });
}

std::vector<DisplayEntity> displays(const std::vector<std::string>* identifiers) {
    return kept(
        DisplayProvider::displays(), identifiers, [](const DisplayInfo& display) { return display.identifier; },
        [](const DisplayInfo& display) { return DisplayEntity{display.identifier, display.localizedName}; });
}

}  // namespace

std::string LayoutEntity::subtitle() const { return ZoneService::localizedCount("%lld zones", zoneCount); }

std::vector<LayoutEntity> LayoutQuery::entities(const std::vector<UUID>& identifiers) const {
    return layouts(&identifiers);
}
std::vector<LayoutEntity> LayoutQuery::suggestedEntities() const { return layouts(nullptr); }

std::vector<WorkspaceEntity> WorkspaceQuery::entities(const std::vector<UUID>& identifiers) const {
    return workspaces(&identifiers);
}
std::vector<WorkspaceEntity> WorkspaceQuery::suggestedEntities() const { return workspaces(nullptr); }

std::vector<DisplayEntity> DisplayQuery::entities(const std::vector<std::string>& identifiers) const {
    return displays(&identifiers);
}
std::vector<DisplayEntity> DisplayQuery::suggestedEntities() const { return displays(nullptr); }

}  // namespace tessary
