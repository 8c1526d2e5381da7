#pragma once

// The keys that close the program's own windows, as Linux desktops close theirs: Ctrl+W, and
// Escape where a window is a dialog-like one (Settings, About) rather than a document (the editor,
// whose Escape ends its preview). They are the window's shortcuts: a dialog or alert of the window
// (a sheet, a confirmation) takes its keys first, an open list or menu takes Escape, and a shortcut
// recorder that records takes every key (Escape there ends the recording, Ctrl+W is recorded).
// The close is the window's own close(), as its title bar's button does: every edit in these
// windows is applied as it is made, so nothing waits to be saved.
//
// Main thread only.

class QWidget;

namespace tessary {

enum class CloseKeys { ctrlW, ctrlWAndEscape };

// Gives the window its close keys, once; they live as long as the window.
void addCloseKeys(QWidget& window, CloseKeys keys);

}  // namespace tessary
