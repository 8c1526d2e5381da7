#include "TessaryCore/SyncMerge.h"

namespace tessary {

Date SyncMerge::tombstone(std::optional<Date> modifiedAt, Date now) {
    const Date rounded = now.roundedToMilliseconds();
    const Date itemTime = modifiedAt.value_or(Date::distantPast());
    return itemTime > rounded ? itemTime : rounded;
}

Date SyncMerge::editStamp(Date replaced, Date now) {
    const Date after = replaced.addingSeconds(0.001).roundedToMilliseconds();
    return after > now ? after : now;
}

json::Json encodeTombstones(const Tombstones& tombstones) {
    json::Json object = json::Json::object();
    for (const auto& [key, date] : tombstones) object[key] = date.toJSON();
    return object;
}

Tombstones decodeTombstones(const json::Json& object, std::string_view key) {
    Tombstones tombstones;
    const json::Json* value = json::optional(object, key);
    if (!value) return tombstones;
    for (const auto& [id, date] : json::asObject(*value, key).items()) tombstones.emplace(id, Date::fromJSON(date));
    return tombstones;
}

}  // namespace tessary
