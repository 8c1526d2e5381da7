#pragma once

#include <QWidget>

#include <vector>

#include "Platform/Signal.h"
#include "Tessary/editor/LayoutEditorViewModel.h"

class QAction;
class QStackedWidget;
class QToolBar;

namespace tessary {

class LayoutCanvasPane;
class LayoutInspector;
class NewLayoutSheet;
class RowListView;

// The editor window's content: the toolbar (New, Duplicate, Delete, Preview on Screen, Inspector),
// the 232-point layout list, the canvas pane of the selected layout (or "No Layout Selected") and
// the 260-point inspector. The new-layout sheet is shown window-modal while the model presents a
// new layout. The list draws only the rows in sight, however large the library; after a change
// only the rows that read or look differently are drawn again, so a drag step repaints the
// dragged layout's row and no other.
class LayoutEditorView final : public QWidget {
    Q_OBJECT

public:
    explicit LayoutEditorView(LayoutEditorModel& model, QWidget* parent = nullptr);
    ~LayoutEditorView() override;

    QToolBar* toolbar() const { return toolbar_; }
    QAction* newAction() const { return new_; }
    QAction* duplicateAction() const { return duplicate_; }
    QAction* deleteAction() const { return delete_; }
    QAction* previewAction() const { return preview_; }
    QAction* inspectorAction() const { return inspector_; }
    RowListView* layoutList() const { return list_; }
    LayoutCanvasPane* canvasPane() const { return pane_; }
    LayoutInspector* inspector() const { return inspectorColumn_; }
    // Made when first asked for: most sessions never open it.
    NewLayoutSheet* newLayoutSheet() const;
    // The title the window shows: the selected layout's name, or "Tessary Layouts".
    QString title() const;

Q_SIGNALS:
    void titleChanged(const QString& title);

private:
    class Rows;

    void refresh();
    void refreshRows();
    void askForCopyName();

    LayoutEditorModel& model_;
    LayoutEditorViewModel view_;
    QToolBar* toolbar_;
    QAction* new_;
    QAction* duplicate_;
    QAction* delete_;
    QAction* preview_;
    QAction* inspector_;
    Rows* rows_;
    RowListView* list_;
    QStackedWidget* centre_;
    QWidget* placeholder_;
    LayoutCanvasPane* pane_;
    QWidget* inspectorDivider_;
    LayoutInspector* inspectorColumn_;
    mutable NewLayoutSheet* sheet_ = nullptr;
    QString title_;
    Subscription librarySubscription_;
    Subscription editorSubscription_;
    Subscription screensSubscription_;
};

}  // namespace tessary
