#include "Tessary/integrations/URLCommands.h"

#include <charconv>
#include <utility>
#include <vector>

#include "Tessary/integrations/URLText.h"
#include "TessaryCore/TessaryInfo.h"
#include "TessaryCore/UnicodeText.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "Tessary/shell/SettingsSection.h"

namespace tessary {

namespace {

URLCommands::QueryDictionary queryDictionary(const std::vector<URLQueryItem>& items) {
    URLCommands::QueryDictionary query;
    // emplace keeps the first value of a name given twice.
    for (const URLQueryItem& item : items) query.emplace(item.name, item.value.value_or(""));
    return query;
}

const std::string* find(const URLCommands::QueryDictionary& query, const std::string& name) {
    const auto found = query.find(name);
    return found == query.end() ? nullptr : &found->second;
}

std::string numberText(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.find_first_of(".en") == std::string::npos) text += ".0";
    return text;
}

}  // namespace

std::string rectangleDebugText(const Rect& rect) {
    return "(" + numberText(rect.x()) + ", " + numberText(rect.y()) + ", " + numberText(rect.width()) + ", " +
           numberText(rect.height()) + ")";
}

std::string URLCommandError::description() const {
    switch (code) {
        case Code::unknownCommand: return "Unknown command " + detail;
        case Code::invalidZone: return "snap: missing or invalid zone";
        case Code::noTargetWindow: return "snap: no target window";
        case Code::snapFailed: return "snap failed: " + detail;
        case Code::workspaceNotFound: return "workspace not found: " + detail;
    }
    return detail;
}

URLCommands::URLCommands(ZoneService& zones, AppActions& actions) : zones_(zones), actions_(actions) {}

Unexpected<URLCommandError> URLCommands::failed(URLCommandError::Code code, std::string detail) {
    URLCommandError error{code, std::move(detail)};
    log_.notice(error.description());
    return unexpected(std::move(error));
}

std::optional<std::int64_t> URLCommands::parseInteger(std::string_view text) {
    // from_chars takes a "-" but not a "+"; after a "+" only digits may follow ("+-2" is no number).
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::vector<URLCommands::Synopsis> URLCommands::synopses() {
    std::string panes;
    for (const SettingsSection section : allSettingsSections) {
        panes += (panes.empty() ? "" : ", ") + std::string(rawValue(section));
    }
    return {
        {"snap?zone=N[&bundle=CLASS]", "Snap the focused window (of the application of that window class) to zone N"},
        {"editor[?new=1]", "Open the layout editor (with the new-layout sheet)"},
        {"onboarding", "Show the welcome window"},
        {"settings[?pane=PANE]", "Open the settings on a pane: " + panes},
        {"about", "Show About Tessary"},
        {"feedback", "Open the feedback form"},
        {"show-zones", "Show the zones of every display"},
        {"restore", "Put windows back into the zones they were last snapped to"},
        {"apply-rules", "Apply the placement rules to the open windows"},
        {"workspace?name=NAME", "Restore the workspace of that name (in any letter case)"},
    };
}

Expected<void, URLCommandError> URLCommands::handle(std::string_view url) {
    const URLText parts = URLText::parse(url);
    if (parts.scheme != TessaryInfo::urlScheme) return {};
    const QueryDictionary query = queryDictionary(parts.queryItems.value_or(std::vector<URLQueryItem>{}));
    const std::string command = parts.host.value_or("");

    if (command == "snap") {
        return snapFromURL(query);
    } else if (command == "editor") {
        openEditor(query);
    } else if (command == "onboarding") {
        actions_.showOnboarding();
    } else if (command == "settings") {
        openSettings(query);
    } else if (command == "about") {
        actions_.showAbout();
    } else if (command == "feedback") {
        actions_.sendFeedback();
    } else if (command == "show-zones") {
        actions_.flashZones();
    } else if (command == "restore") {
        actions_.restoreAllWindows();
    } else if (command == "apply-rules") {
        actions_.applyRules();
    } else if (command == "workspace") {
        return restoreWorkspace(query);
    } else {
        return failed(URLCommandError::Code::unknownCommand, validUTF8(url));
    }
    return {};
}

Expected<void, URLCommandError> URLCommands::snapFromURL(const QueryDictionary& query) {
    const std::string* text = find(query, "zone");
    const auto zone = parseInteger(text ? *text : "");
    if (!zone || *zone < 1) return failed(URLCommandError::Code::invalidZone);
    const auto window = targetWindow(query);
    if (!window) return failed(URLCommandError::Code::noTargetWindow);
    // zone >= 1, so the index cannot wrap; a zone past the layout comes back as noSuchZone.
    const auto result = zones_.snap(*window, *zone - 1);
    if (!result) {
        auto failure = failed(URLCommandError::Code::snapFailed, result.error().description());
        if (onSnapFailed) onSnapFailed(result.error());
        return failure;
    }
    const auto& achieved = result.value().achieved;
    log_.notice("snap: zone " + std::to_string(*zone) + " → " + (achieved ? rectangleDebugText(*achieved) : "?"));
    return {};
}

std::optional<WindowHandle> URLCommands::targetWindow(const QueryDictionary& query) {
    const std::string* bundle = find(query, "bundle");
    if (bundle && !bundle->empty()) return zones_.engine().focusedWindow(*bundle);
    return zones_.engine().focusedWindow();
}

void URLCommands::openEditor(const QueryDictionary& query) {
    actions_.showEditor();
    const std::string* presentNew = find(query, "new");
    if (!presentNew || *presentNew != "1") return;
    // Shown first, so the model exists when asked.
    LayoutEditorModel* model = editorModel ? editorModel() : nullptr;
    if (!model) return;
    model->setPresentingNewLayout(true);
}

void URLCommands::openSettings(const QueryDictionary& query) {
    if (const std::string* pane = find(query, "pane"); pane && state) {
        if (auto section = settingsSectionFromRawValue(*pane)) state->setRequestedSettingsSection(section);
    }
    actions_.showSettings();
}

Expected<void, URLCommandError> URLCommands::restoreWorkspace(const QueryDictionary& query) {
    const std::string* name = find(query, "name");
    if (!name || !workspaces) return {};
    const auto workspace = workspaces->library().workspaceNamed(*name);
    if (!workspace) return failed(URLCommandError::Code::workspaceNotFound, *name);
    workspaces->restore(*workspace);
    return {};
}

}  // namespace tessary
