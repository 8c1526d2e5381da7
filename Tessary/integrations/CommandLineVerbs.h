#pragma once

// The command-line face of the actions: `tessary VERB [--option VALUE]…`, answered by the running
// instance on its main loop (the delegate hands each verb here), or, when none runs, by the
// starting process itself: `list` then reads the stored documents (and the X server's displays) as
// the instance would, changing nothing, and every action that needs the instance says "Tessary is
// not running." (status 1) rather than answer from empty handles ("Layout not found.", or a silent
// success). Where the instance would start from its starter layouts (no layouts document, or one it
// cannot use), no layouts are listed: their identifiers are made when it starts. A note on standard
// error says why a list is empty so.
//
//   snap-front-window [--zone N]      apply-layout --layout ID [--display ID]
//   restore-workspace --workspace ID  save-workspace --name NAME
//   restore-windows   apply-rules   show-zones   list layouts|workspaces|displays
//
// Options may also be written --name=VALUE. Identifiers are those `list` prints, resolved through
// the entity queries; one that is not an identifier, or names nothing, is "Layout not found." (and
// its kin), never anything worse. The reply's text goes to standard output on success and to
// standard error otherwise; statuses are 0 (done), 1 (the action failed) and 2 (a mistake in the
// command line, with the usage).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/InstanceMessage.h"

namespace tessary {

struct CommandLineVerbs {
    static constexpr int failedStatus = 1;
    static constexpr int usageStatus = 2;

    // Every verb, in the order --help lists them (the URL commands follow them there).
    static const std::vector<std::string_view>& names();
    static bool isVerb(std::string_view argument);
    // "--help" or "-h". The help fits 80 columns.
    static bool isHelp(std::string_view argument);
    static std::string helpText();
    // "--version"; its text is the product's name and the version the About window shows.
    static bool isVersion(std::string_view argument);
    static std::string versionText();

    // Runs the verb with the arguments that follow it.
    static InstanceReply run(std::string_view verb, const std::vector<std::string>& arguments);

    // Where the documents that `list` reads lie; read only, never written.
    struct StoredDocuments {
        std::filesystem::path layouts;
        std::filesystem::path workspaces;
    };
    // The verb when no instance runs (see above); mistakes in the command line are status 2 as ever.
    static InstanceReply runWithoutInstance(std::string_view verb, const std::vector<std::string>& arguments,
                                            const StoredDocuments& documents);
};

}  // namespace tessary
