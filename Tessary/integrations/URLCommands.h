#pragma once

// The "tessary:" URL commands: tessary://COMMAND?NAME=VALUE&…, where the host names the command.
// A URL with another scheme (or "TESSARY") is ignored without a word; an unknown command, and
// every failure of a known one, is one line in the log ("URLCommands") and no window. The failure
// is handed back too (`URLCommandError`), so that a start that gave the URL on its command line
// can say why. Scheme and command are compared exactly, on the raw text (URLText). A query name
// given twice counts with its first value.
//
// Commands: snap (zone, bundle), editor (new), onboarding, settings (pane), about, feedback,
// show-zones, restore, apply-rules, workspace (name).
//
// The delegate makes one handler on first use and keeps it; its launch sequence sets the three
// late references below. Until then "settings" chooses no pane, "workspace" does nothing and
// "editor" opens no new-layout sheet. Main loop only; every command runs inside handle().

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Logger.h"
#include "TessaryCore/Expected.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "WindowEngine/WindowHandle.h"

namespace tessary {

class LayoutEditorModel;

// Why a URL command did not run; its description is the line logged.
struct URLCommandError {
    enum class Code { unknownCommand, invalidZone, noTargetWindow, snapFailed, workspaceNotFound };
    Code code;
    // The whole URL, the snap error's text or the workspace's name, as the line names it.
    std::string detail;

    std::string description() const;
    bool operator==(const URLCommandError&) const = default;
};

class URLCommands final {
public:
    using QueryDictionary = std::map<std::string, std::string>;

    URLCommands(ZoneService& zones, AppActions& actions);
    URLCommands(const URLCommands&) = delete;
    URLCommands& operator=(const URLCommands&) = delete;

    // Set by the launch sequence; each must outlive the handler or be reset to nothing.
    WorkspaceService* workspaces = nullptr;
    AppState* state = nullptr;
    // The layout editor's model, nothing while no editor window exists.
    std::function<LayoutEditorModel*()> editorModel = [] { return nullptr; };
    // Told of a "snap" that failed, after it was logged.
    std::function<void(const ZoneService::SnapError&)> onSnapFailed;

    // Runs one URL: done (or ignored), or why not, which is logged as well.
    Expected<void, URLCommandError> handle(std::string_view url);

    // A decimal number with an optional sign and nothing else, within 64 bits; nothing otherwise.
    static std::optional<std::int64_t> parseInteger(std::string_view text);

    // Each command as the help shows it: its URL after "tessary://" and what it does, in the order
    // handle() tries them.
    struct Synopsis {
        std::string usage;
        std::string description;
    };
    static std::vector<Synopsis> synopses();

private:
    Expected<void, URLCommandError> snapFromURL(const QueryDictionary& query);
    std::optional<WindowHandle> targetWindow(const QueryDictionary& query);
    void openEditor(const QueryDictionary& query);
    void openSettings(const QueryDictionary& query);
    Expected<void, URLCommandError> restoreWorkspace(const QueryDictionary& query);
    // Logs the failure and hands it back.
    Unexpected<URLCommandError> failed(URLCommandError::Code code, std::string detail = {});

    ZoneService& zones_;
    AppActions& actions_;
    Logger log_{"URLCommands"};
};

// A rectangle as "(x, y, width, height)", each number in its shortest exact form with ".0" when
// whole: "(960.0, 0.0, 960.0, 1080.0)".
std::string rectangleDebugText(const Rect& rect);

}  // namespace tessary
