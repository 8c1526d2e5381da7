#include "TessaryCore/HomeMerge.h"

#include <unordered_set>

namespace tessary::HomeMerge {

namespace {

template <typename Value>
Value oursWins(const Value& ours, const Value&, const Value*) {
    return ours;
}

}  // namespace

ItemOrder::ItemOrder(const RuleSet& ruleSet) : ItemOrder(ruleSet.rules) {}

ItemOrder::ItemOrder(const WorkspaceLibrary& library) : ItemOrder(library.workspaces) {}

LayoutsBase::LayoutsBase(const LayoutLibrary& library)
    : order(library.layouts), assignments(library.assignments), defaultLayoutID(library.defaultLayoutID) {}

MemoryBase::MemoryBase(const WindowPlacementMemory& memory) : text(json::dumpCompact(memory.toJSON())) {}

LayoutLibrary layouts(const LayoutLibrary& ours, const LayoutLibrary& theirs, const LayoutsBase* base) {
    LayoutLibrary result = SyncMerge::mergeLayouts(ours, theirs);
    if (!base) return result;
    std::unordered_set<UUID> surviving;
    for (const ZoneLayout& layout : result.layouts) surviving.insert(layout.id);

    result.assignments = threeWay(ours.assignments, theirs.assignments, &base->assignments, oursWins<UUID>);
    std::erase_if(result.assignments, [&](const auto& entry) { return !surviving.contains(entry.second); });
    // The sync merge falls back when the chosen default was deleted; only the choice is three-way.
    const std::optional<UUID> chosen =
        ours.defaultLayoutID == base->defaultLayoutID ? theirs.defaultLayoutID : ours.defaultLayoutID;
    if (chosen && surviving.contains(*chosen)) result.defaultLayoutID = chosen;
    arrangeItems(result.layouts, ours.layouts, theirs.layouts, &base->order.ids);
    return result;
}

RuleSet rules(const RuleSet& ours, const RuleSet& theirs, const ItemOrder* base) {
    RuleSet result = SyncMerge::mergeRules(ours, theirs);
    arrangeItems(result.rules, ours.rules, theirs.rules, base ? &base->ids : nullptr);
    return result;
}

WorkspaceLibrary workspaces(const WorkspaceLibrary& ours, const WorkspaceLibrary& theirs, const ItemOrder* base) {
    WorkspaceLibrary result = SyncMerge::mergeWorkspaces(ours, theirs);
    arrangeItems(result.workspaces, ours.workspaces, theirs.workspaces, base ? &base->ids : nullptr);
    return result;
}

WindowPlacementMemory memory(const WindowPlacementMemory& ours, const WindowPlacementMemory& theirs,
                             const MemoryBase* base) {
    // The window snapped last is where the user wants it, whichever display it was on.
    const auto newer = [](const WindowPlacement& mine, const WindowPlacement& other, const WindowPlacement*) {
        return other.updatedAt > mine.updatedAt ? other : mine;
    };
    // Read or written as a document, the text decodes; should it not, nothing is taken for deleted.
    std::optional<WindowPlacementMemory> was;
    try {
        if (base) was = WindowPlacementMemory::fromJSON(json::parse(base->text));
    } catch (const json::DecodingError&) {
    } catch (const json::Json::exception&) {
    }
    WindowPlacementMemory result;
    result.version = ours.version;
    result.byWindow = threeWay(ours.byWindow, theirs.byWindow, was ? &was->byWindow : nullptr, newer);
    result.byApp = threeWay(ours.byApp, theirs.byApp, was ? &was->byApp : nullptr, newer);
    result.prune();
    return result;
}

}  // namespace tessary::HomeMerge
