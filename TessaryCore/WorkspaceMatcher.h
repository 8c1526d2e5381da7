#pragma once

// Pairs the saved entries of a workspace with the windows open now: equal titles first, then by
// application alone, each window used once. An untitled or retitled entry therefore never takes the
// window that another entry names exactly.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/WorkspaceEntry.h"

namespace tessary {

struct WorkspaceMatcher {
    // One open window offered to the matcher; ID is the caller's window handle.
    template <typename ID>
    struct Candidate {
        ID id;
        std::string bundleID;
        std::optional<std::string> title;

        // Stores the texts as valid UTF-8, as the saved entries hold them.
        Candidate(ID id, std::string bundleID, std::optional<std::string> title)
            : id(std::move(id)),
              bundleID(validUTF8(bundleID)),
              title(title ? std::optional<std::string>(validUTF8(*title)) : std::nullopt) {}
    };

    template <typename ID>
    struct Pair {
        WorkspaceEntry entry;
        ID windowID;
    };

    // The first-pass pairs (same application, titles both present and canonically equal; an empty
    // title counts as present) in entry order, then the second-pass pairs (same application) in
    // entry order. Entries that found no window are left out.
    template <typename ID>
    static std::vector<Pair<ID>> match(const std::vector<WorkspaceEntry>& entries,
                                       const std::vector<Candidate<ID>>& candidates) {
        return match(entries, candidates, [](const WorkspaceEntry& entry, const Candidate<ID>& window) {
            return window.bundleID == entry.bundleID;
        });
    }

    // The same, "same application" judged by `sameApplication(entry, candidate)` (an application
    // may be named in several forms: its window class, its desktop entry's id).
    template <typename ID, typename SameApplication>
    static std::vector<Pair<ID>> match(const std::vector<WorkspaceEntry>& entries,
                                       const std::vector<Candidate<ID>>& candidates, SameApplication sameApplication) {
        std::vector<bool> taken(candidates.size(), false);
        std::vector<Pair<ID>> result;
        std::vector<const WorkspaceEntry*> unmatched;

        for (const WorkspaceEntry& entry : entries) {
            std::optional<std::size_t> found;
            if (entry.title) {
                for (std::size_t i = 0; i < candidates.size() && !found; ++i) {
                    const auto& window = candidates[i];
                    if (!taken[i] && window.title && sameApplication(entry, window) &&
                        canonicallyEqual(*window.title, *entry.title)) {
                        found = i;
                    }
                }
            }
            if (found) {
                taken[*found] = true;
                result.push_back(Pair<ID>{entry, candidates[*found].id});
            } else {
                unmatched.push_back(&entry);
            }
        }
        for (const WorkspaceEntry* entry : unmatched) {
            for (std::size_t i = 0; i < candidates.size(); ++i) {
                if (!taken[i] && sameApplication(*entry, candidates[i])) {
                    taken[i] = true;
                    result.push_back(Pair<ID>{*entry, candidates[i].id});
                    break;
                }
            }
        }
        return result;
    }
};

}  // namespace tessary
