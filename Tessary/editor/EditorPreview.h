#pragma once

#include <chrono>

#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "Tessary/services/PreviewPresenting.h"

namespace tessary {

// Where an Esc key press happened, as the editor window sees it.
struct EscapeContext {
    bool previewRuns = false;
    bool inEditorWindow = false;     // the key belongs to the editor window
    bool dialogOpen = false;         // a window-modal dialog of the editor is up (it takes Esc)
    bool focusInTextField = false;   // the text field takes Esc
};

// Esc ends the preview only while one runs, the key is the editor window's own, no dialog of it
// is open and no text field has the focus; everywhere else it goes on as usual.
inline bool swallowsEscape(const EscapeContext& c) {
    return c.previewRuns && c.inEditorWindow && !c.dialogOpen && !c.focusInTextField;
}

// The layout editor's on-screen preview: the selected layout's zones on the preview display
// through the shared overlay, re-applied 16 ms after a change of the preview display, the
// selection or the library (one task for a burst of changes), and taken off 5 s after the last
// change it saw. Nothing is scheduled while nothing changes.
//
// The overlay is shared with drags and zone flashes, so the preview hides only what it showed
// itself: with no preview of its own on screen, a library change (a layout cycled by shortcut, a
// synchronised change), the timeout or the window's close leave the overlay alone; and through
// PreviewPresenting a drag's overlay is never replaced or hidden by it.
class EditorPreview final {
public:
    static constexpr std::chrono::milliseconds settleDelay{16};
    static constexpr std::chrono::seconds timeout{5};

    EditorPreview(LayoutEditorModel& model, PreviewPresenting& overlay, Scheduler& scheduler);
    ~EditorPreview();
    EditorPreview(const EditorPreview&) = delete;
    EditorPreview& operator=(const EditorPreview&) = delete;

    // The editor window closed: the preview ends at once.
    void windowClosed();
    // True while the overlay shows this preview.
    bool isShowing() const { return showing_; }

private:
    void changed();
    void apply();
    void hideOwn();
    void cancel(ScheduledTask& task);

    LayoutEditorModel& model_;
    PreviewPresenting& overlay_;
    Scheduler& scheduler_;
    bool showing_ = false;
    ScheduledTask pending_;
    ScheduledTask timeout_;
    Subscription librarySubscription_;
    Subscription editorSubscription_;
};

}  // namespace tessary
