#pragma once

#include <QObject>

#include <memory>

#include "Platform/Scheduler.h"
#include "Tessary/editor/EditorPreview.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "Tessary/services/PreviewPresenting.h"

class QWidget;

namespace tessary {

class LayoutEditorView;

// Owns the layout editor's window, its model and its preview for the life of the program: one
// window of a fixed 1120 x 700 logical pixels, centred, titled with the selected layout's name (or
// "Tessary Layouts"), hidden, never deleted, when closed; the next show() brings the same window
// with the same selection back, without a preview. Ctrl+W closes it.
//
// Esc is watched through an application event filter and swallowed only to end a running preview
// from inside the editor window, when no dialog of it is open and no text field has the focus.
class LayoutEditorWindowController final : public QObject {
    Q_OBJECT

public:
    LayoutEditorWindowController(ZoneService& zones, PreviewPresenting& overlay, Scheduler& scheduler);
    ~LayoutEditorWindowController() override;

    // Shows the window (created once), raised and activated.
    void show();

    LayoutEditorModel& model() { return model_; }
    QWidget* window() const;
    LayoutEditorView* view() const { return view_; }
    EditorPreview& preview() { return preview_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Window;

    LayoutEditorModel model_;
    EditorPreview preview_;
    std::unique_ptr<Window> window_;
    LayoutEditorView* view_;
};

}  // namespace tessary
