#pragma once

// A command-line verb for the end-to-end tests of synchronisation between two running instances.
// It makes the local edits that no other way into a running instance offers, through the same
// service operations the editor and the Rules pane use (so each reaches the synchronisation's
// upload delay as theirs do), and shows the synchronisation's state as the Sync pane reads it:
//
//   sync-test add-layout NAME    a new three-column layout named NAME; prints its identifier
//   sync-test add-rule APP       a rule putting APP's windows into zone 1; prints its identifier
//   sync-test delete-rule APP    deletes every rule of APP (leaving tombstones); prints how many
//   sync-test state              "started" or "not started", the last sync (ISO 8601) and the
//                                last error, tab-separated; "-" for a time or an error not there
//
// Installed only when the environment has TESSARY_E2E=1: a user's program never answers it.

#include <functional>
#include <string_view>

namespace tessary {

class AppDelegate;
class CloudSync;

struct SyncTestVerb {
    static constexpr std::string_view name = "sync-test";

    // Whether this run is an end-to-end test's: $TESSARY_E2E is "1".
    static bool isWanted();
    // Adds the verb to the delegate's verbs. `sync` gives the synchronisation, nothing before the
    // launch made it (or when it is gone).
    static void install(AppDelegate& delegate, std::function<const CloudSync*()> sync);
};

}  // namespace tessary
