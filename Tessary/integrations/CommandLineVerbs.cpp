#include "Tessary/integrations/CommandLineVerbs.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "Tessary/integrations/Entities.h"
#include "Tessary/integrations/Intents.h"
#include "Tessary/integrations/URLCommands.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/shell/VersionInfo.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/TessaryInfo.h"
#include "TessaryCore/WorkspaceLibrary.h"

namespace tessary {

namespace {

// The options a verb was given, by name without the dashes.
using Options = std::map<std::string, std::string>;

struct UsageError {
    std::string message;
};

// Where `list` takes the layouts and workspaces from: the running services, or the stored documents
// (which may leave a note on why the list is empty or not what the instance will use).
struct Sources {
    std::function<std::vector<LayoutEntity>(std::string& note)> layouts;
    std::function<std::vector<WorkspaceEntity>(std::string& note)> workspaces;
};

struct Verb {
    std::string_view name;
    std::vector<std::string_view> options;  // the names it takes
    std::string_view synopsis;
    std::function<std::string()> description;
    std::function<InstanceReply(const Options&, const std::vector<std::string>& positional, const Sources&)> run;
    // Whether it acts through the running program (all but list).
    bool needsInstance = true;
    // The options it cannot do without.
    std::vector<std::string> required = {};
};

InstanceReply done(std::string text = {}) { return {std::move(text), 0}; }
InstanceReply failed(const IntentFailure& failure) { return {failure.message, CommandLineVerbs::failedStatus}; }
InstanceReply failed(std::string_view english) { return failed(IntentFailure{ZoneService::localized(english)}); }

InstanceReply reply(const IntentResult<>& result) { return result ? done() : failed(result.error()); }

// Characters that would change what a terminal shows around them: controls (a NUL would end the
// line where it is printed) and the marks that turn the direction of the text after them.
bool unprintable(char32_t c) {
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

// A name printed on a line of its own must not start another line or field, nor hide or reorder
// what is printed: tabs and line breaks become spaces, the other unprintable characters \uXXXX.
std::string oneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        if (i + length > text.size()) {
            line.append(text.substr(i));
            break;
        }
        char32_t c = length == 1 ? byte : byte & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3f);
        if (c == '\t' || c == '\n' || c == '\r') {
            line += ' ';
        } else if (unprintable(c)) {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            line += escaped;
        } else {
            line.append(text.substr(i, length));
        }
        i += length;
    }
    return line;
}

template <typename Entity>
std::string listed(const std::vector<Entity>& entities, const std::function<std::string(const Entity&)>& identifier,
                   const std::function<std::string(const Entity&)>& more = {}) {
    std::string text;
    for (const Entity& entity : entities) {
        if (!text.empty()) text += '\n';
        text += oneLine(identifier(entity)) + '\t' + oneLine(entity.title());
        if (more) text += '\t' + oneLine(more(entity));
    }
    return text;
}

// An identifier as `list` prints it, through the query; nothing for one that is no UUID or names
// nothing that exists.
template <typename Query>
auto resolve(const std::string& text) -> std::optional<typename decltype(Query().suggestedEntities())::value_type> {
    const auto id = UUID::parsing(text);
    if (!id) return std::nullopt;
    const auto found = Query().entities({*id});
    if (found.empty()) return std::nullopt;
    return found.front();
}

const std::string* option(const Options& options, const std::string& name) {
    const auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second;
}


// The stepper's range, 1 to 20.
std::int64_t zoneNumber(const std::string& text) {
    std::int64_t zone = 0;
    const bool number = !text.empty() && text.size() <= 2 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number) zone = std::stoll(text);
    if (zone < SnapFrontWindowIntent::minimumZone || zone > SnapFrontWindowIntent::maximumZone) {
        throw UsageError{"--zone takes a number from 1 to 20"};
    }
    return zone;
}

const std::vector<Verb>& verbs() {
    static const std::vector<Verb> table = {
        {"snap-front-window", {"zone"}, "snap-front-window [--zone N]",
         [] { return SnapFrontWindowIntent::summary("N") + " (1 to 20, 1 when not given)"; },
         [](const Options& options, const std::vector<std::string>&, const Sources&) {
             SnapFrontWindowIntent intent;
             if (const std::string* text = option(options, "zone")) intent.zone = zoneNumber(*text);
             return reply(intent.perform());
         }},
        {"apply-layout", {"layout", "display"}, "apply-layout --layout ID [--display ID]",
         [] { return ApplyLayoutIntent::summary("LAYOUT", "DISPLAY") + " (every display when none is given)"; },
         [](const Options& options, const std::vector<std::string>&, const Sources&) {
             ApplyLayoutIntent intent;
             const auto layout = resolve<LayoutQuery>(options.at("layout"));
             if (!layout) return failed("Layout not found.");
             intent.layout = *layout;
             if (const std::string* display = option(options, "display")) {
                 const auto found = DisplayQuery().entities({*display});
                 if (found.empty()) return failed("Display not found.");
                 intent.display = found.front();
             }
             return reply(intent.perform());
         },
         true,
         {"layout"}},
        {"restore-workspace", {"workspace"}, "restore-workspace --workspace ID",
         [] { return RestoreWorkspaceIntent::summary("WORKSPACE") + "; prints the number of windows moved"; },
         [](const Options& options, const std::vector<std::string>&, const Sources&) {
             const auto workspace = resolve<WorkspaceQuery>(options.at("workspace"));
             if (!workspace) return failed("Workspace not found.");
             const auto moved = RestoreWorkspaceIntent{*workspace}.perform();
             return moved ? done(std::to_string(moved.value())) : failed(moved.error());
         },
         true,
         {"workspace"}},
        {"save-workspace", {"name"}, "save-workspace --name NAME",
         [] { return SaveWorkspaceIntent::summary("NAME"); },
         [](const Options& options, const std::vector<std::string>&, const Sources&) {
             return reply(SaveWorkspaceIntent{options.at("name")}.perform());
         },
         true,
         {"name"}},
        {"restore-windows", {}, "restore-windows", [] { return std::string(RestoreWindowsToZonesIntent::title); },
         [](const Options&, const std::vector<std::string>&, const Sources&) { return reply(RestoreWindowsToZonesIntent().perform()); }},
        {"apply-rules", {}, "apply-rules", [] { return std::string(ApplyRulesIntent::title); },
         [](const Options&, const std::vector<std::string>&, const Sources&) { return reply(ApplyRulesIntent().perform()); }},
        {"show-zones", {}, "show-zones", [] { return std::string(ShowZonesIntent::title); },
         [](const Options&, const std::vector<std::string>&, const Sources&) { return reply(ShowZonesIntent().perform()); }},
        {"list", {}, "list layouts|workspaces|displays",
         [] {
             return std::string("Identifiers and names, one a line, for --layout, --workspace, --display");
         },
         [](const Options&, const std::vector<std::string>& positional, const Sources& sources) {
             const std::string what = positional.size() == 1 ? positional.front() : "";
             std::string note;
             if (what == "layouts") {
                 InstanceReply reply = done(listed<LayoutEntity>(
                     sources.layouts(note), [](const LayoutEntity& e) { return e.id.uuidString(); },
                     [](const LayoutEntity& e) { return e.subtitle(); }));
                 reply.note = note;
                 return reply;
             }
             if (what == "workspaces") {
                 InstanceReply reply = done(listed<WorkspaceEntity>(
                     sources.workspaces(note), [](const WorkspaceEntity& e) { return e.id.uuidString(); }));
                 reply.note = note;
                 return reply;
             }
             if (what == "displays") {
                 return done(listed<DisplayEntity>(DisplayQuery().suggestedEntities(),
                                                   [](const DisplayEntity& e) { return e.id; }));
             }
             throw UsageError{"list takes one of layouts, workspaces, displays"};
         },
         false},
    };
    return table;
}

const Verb* findVerb(std::string_view name) {
    for (const Verb& verb : verbs()) {
        if (verb.name == name) return &verb;
    }
    return nullptr;
}

// "--name VALUE" and "--name=VALUE" into options, anything else positional; only list takes
// positional arguments.
std::pair<Options, std::vector<std::string>> parse(const Verb& verb, const std::vector<std::string>& arguments) {
    Options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.starts_with("--")) {
            positional.push_back(argument);
            continue;
        }
        std::string name = argument.substr(2);
        std::optional<std::string> value;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (std::find(verb.options.begin(), verb.options.end(), name) == verb.options.end()) {
            throw UsageError{std::string(verb.name) + " has no option " + oneLine("--" + name)};
        }
        if (!value) {
            if (i + 1 >= arguments.size()) throw UsageError{"--" + name + " needs a value"};
            value = arguments[++i];
        }
        if (!options.emplace(name, *value).second) throw UsageError{"--" + name + " is given twice"};
    }
    if (!positional.empty() && verb.name != "list") {
        throw UsageError{std::string(verb.name) + " takes no argument " + oneLine(positional.front())};
    }
    for (const std::string& name : verb.required) {
        if (!options.contains(name)) throw UsageError{"--" + name + " is required"};
    }
    // Checked here, so that a mistake is one whether or not an instance runs.
    if (const auto zone = options.find("zone"); zone != options.end()) zoneNumber(zone->second);
    return {std::move(options), std::move(positional)};
}

}  // namespace

const std::vector<std::string_view>& CommandLineVerbs::names() {
    static const std::vector<std::string_view> all = [] {
        std::vector<std::string_view> names;
        for (const Verb& verb : verbs()) names.push_back(verb.name);
        return names;
    }();
    return all;
}

bool CommandLineVerbs::isVerb(std::string_view argument) { return findVerb(argument) != nullptr; }

bool CommandLineVerbs::isHelp(std::string_view argument) { return argument == "--help" || argument == "-h"; }

bool CommandLineVerbs::isVersion(std::string_view argument) { return argument == "--version"; }

std::string CommandLineVerbs::versionText() { return std::string(TessaryInfo::productName) + " " + appVersionString(); }

namespace {

constexpr std::size_t helpWidth = 80;
constexpr std::size_t descriptionColumn = 34;

// Columns a text takes on a terminal: its characters (none of the help's is wide).
std::size_t columns(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

// The words of `text` in lines of at most helpWidth columns, each after `indent` blanks; the first
// line goes on from `line`, which is `indent` wide or wider.
std::string wrapped(std::string line, std::string_view text, std::size_t indent) {
    std::string out;
    bool lineHasWord = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string_view word = text.substr(start, end - start);
        start = end + 1;
        if (lineHasWord && columns(line) + 1 + columns(word) > helpWidth) {
            out += line + "\n";
            line.assign(indent, ' ');
            lineHasWord = false;
        }
        if (lineHasWord) line += ' ';
        line += word;
        lineHasWord = true;
    }
    return out + line + "\n";
}

// "  USAGE   DESCRIPTION", the description in its column, on the next line when the usage reaches it.
std::string helpEntry(std::string_view usage, std::string_view description) {
    std::string line = "  " + std::string(usage);
    if (columns(line) + 2 > descriptionColumn) {
        return line + "\n" + wrapped(std::string(descriptionColumn, ' '), description, descriptionColumn);
    }
    line.resize(line.size() + descriptionColumn - columns(line), ' ');
    return wrapped(line, description, descriptionColumn);
}

}  // namespace

std::string CommandLineVerbs::helpText() {
    std::string text = "Usage: tessary [ACTION [OPTIONS] | tessary://COMMAND?… | --help | --version]\n\n";
    text += wrapped({}, "Without arguments, starts Tessary, or brings the running one forward. A tessary:// URL and "
                        "the actions below are carried out by the running instance.", 0);
    text += "\nActions:\n";
    for (const Verb& verb : verbs()) text += helpEntry(verb.synopsis, verb.description());
    text += "\nOptions:\n";
    text += helpEntry("--help", "Show this help");
    text += helpEntry("--version", "Print the version");
    text += "\n";
    text += wrapped({}, "An action that fails prints why on standard error and exits with status 1; a mistake in the "
                        "command line exits with status 2.", 0);
    text += "\nURLs (links and xdg-open hand them to Tessary the same way):\n";
    for (const URLCommands::Synopsis& command : URLCommands::synopses()) {
        text += helpEntry("tessary://" + command.usage, command.description);
    }
    text += "\n";
    text += wrapped({}, "A URL whose command fails prints why on standard error and exits with status 1, as an action "
                        "does, unless the desktop opened it: then it is silent, as links are, and the reason is in "
                        "the running instance's log.", 0);
    text.pop_back();
    return text;
}

namespace {

InstanceReply runVerb(std::string_view name, const std::vector<std::string>& arguments, const Sources* sources) {
    const Verb* verb = findVerb(name);
    if (!verb) {
        const std::string help = CommandLineVerbs::helpText();
        return {"tessary: unknown " + std::string(name.starts_with('-') ? "option " : "action ") + oneLine(name) +
                    "\n" + help.substr(0, help.find('\n')),
                CommandLineVerbs::usageStatus};
    }
    try {
        auto [options, positional] = parse(*verb, arguments);
        if (!sources) return failed("Tessary is not running.");
        return verb->run(options, positional, *sources);
    } catch (const UsageError& error) {
        return {"tessary: " + error.message + "\nUsage: tessary " + std::string(verb->synopsis),
                CommandLineVerbs::usageStatus};
    }
}

// The document's content as the instance would load it, changing nothing; nothing when there is
// none, or it cannot be used (why, in `trouble`).
template <typename Document>
std::optional<Document> stored(const std::filesystem::path& path, std::optional<DocumentStoreError>& trouble) {
    auto read = JSONDocumentStore<Document>(path).peek();
    if (!read) {
        trouble = read.error();
        return std::nullopt;
    }
    return std::move(read.value());
}

}  // namespace

InstanceReply CommandLineVerbs::run(std::string_view name, const std::vector<std::string>& arguments) {
    static const Sources live{[](std::string&) { return LayoutQuery().suggestedEntities(); },
                              [](std::string&) { return WorkspaceQuery().suggestedEntities(); }};
    return runVerb(name, arguments, &live);
}

InstanceReply CommandLineVerbs::runWithoutInstance(std::string_view name, const std::vector<std::string>& arguments,
                                                   const StoredDocuments& documents) {
    const Verb* verb = findVerb(name);
    if (verb && verb->needsInstance) return runVerb(name, arguments, nullptr);
    // As the instance loads them, the presets' origins filled in. Where the instance would start from
    // its starter layouts (no document, or one it cannot use), those are listed: their identifiers are
    // the same on every start; a note says why.
    const Sources read{
        [&documents](std::string& note) {
            std::optional<DocumentStoreError> trouble;
            auto library = stored<LayoutLibrary>(documents.layouts, trouble);
            std::vector<LayoutEntity> entities;
            if (!library) {
                note = trouble ? trouble->text() + " " + ZoneService::localized("Tessary starts from its starter layouts.")
                               : ZoneService::localized(
                                     "No layouts are stored yet: Tessary starts from its starter layouts.");
                library = ZoneService::translatedStarter();
            }
            library->refreshPresetLayouts();
            for (const ZoneLayout& layout : library->layouts) {
                entities.push_back({layout.id, layout.name, layout.zoneCount()});
            }
            return entities;
        },
        [&documents](std::string& note) {
            std::optional<DocumentStoreError> trouble;
            auto library = stored<WorkspaceLibrary>(documents.workspaces, trouble);
            if (trouble) note = trouble->text() + " " + ZoneService::localized("Tessary starts with no workspaces.");
            std::vector<WorkspaceEntity> entities;
            for (const Workspace& workspace : library.value_or(WorkspaceLibrary()).workspaces) {
                entities.push_back({workspace.id, workspace.name});
            }
            return entities;
        }};
    return runVerb(name, arguments, &read);
}

}  // namespace tessary
