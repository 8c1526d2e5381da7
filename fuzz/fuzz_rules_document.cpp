#include "FuzzDocument.h"
#include "TessaryCore/RuleSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessary;
    static constexpr std::string_view rule =
        R"("id": "00000000-0000-4000-8000-000000000001", "isEnabled": true, "bundleID": "Mail", "zoneIndices": [1], "modifiedAt": "2025-03-14T09:26:53.589Z")";
    static const std::string templates[] = {
        R"({"version": 1, "rules": @@})",
        R"({"version": 1, "rules": [], "deletedRules": @@})",
        R"({"version": 1, "rules": [{)" + std::string(rule) + R"(, "titlePattern": @@}]})",
        R"({"version": 1, "rules": [{)" + std::string(rule) + R"(, "displayID": @@}]})",
        R"({"version": 1, "rules": [{"id": "00000000-0000-4000-8000-000000000001", "isEnabled": @@, "bundleID": "M", "zoneIndices": [1], "modifiedAt": "2025-03-14T09:26:53Z"}]})",
    };
    const std::string title(reinterpret_cast<const char*>(data), size < 512 ? size : 512);
    fuzzDocument<RuleSet>(data, size, {templates[0], templates[1], templates[2], templates[3], templates[4]},
                          [&](RuleSet& rules) {
                              // The decoded patterns against a title made of the input, bad bytes included.
                              for (std::size_t i = 0; i < rules.rules.size() && i < 4; ++i) {
                                  (void)rules.rules[i].matches(rules.rules[i].bundleID, title);
                                  if (rules.rules[i].titlePattern) {
                                      (void)PlacementRule::isValidPattern(*rules.rules[i].titlePattern);
                                  }
                              }
                              (void)SyncMerge::mergeRules(rules, rules);
                              rules.move({0, 2}, 1);
                          });
    // The input as a pattern, against a title of itself.
    PlacementRule raw(UUID(), true, "App", title, std::nullopt, {0}, Date(0));
    (void)raw.matches("App", title);
    (void)PlacementRule::isValidPattern(title);
    return 0;
}
