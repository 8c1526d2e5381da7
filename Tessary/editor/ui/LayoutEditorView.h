#pragma once

#include <QWidget>

#include <vector>

#include "Platform/Signal.h"
#include "Tessary/editor/LayoutEditorViewModel.h"

class QAction;
class QLabel;
class QListWidget;
class QStackedWidget;
class QToolBar;

namespace tessary {

class LayoutCanvasPane;
class LayoutInspector;
class LayoutThumbnail;
class NewLayoutSheet;

// The editor window's content: the toolbar (New, Duplicate, Delete, Preview on Screen, Inspector),
// the 232-point layout list, the canvas pane of the selected layout (or "No Layout Selected") and
// the 260-point inspector. The new-layout sheet is shown window-modal while the model presents a
// new layout. After a change only the list rows that read differently are touched, so a drag step
// repaints the dragged layout's row and no other.
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
    QListWidget* layoutList() const { return list_; }
    // The row widget of the layout at that position.
    QWidget* rowWidget(int row) const;
    LayoutCanvasPane* canvasPane() const { return pane_; }
    LayoutInspector* inspector() const { return inspectorColumn_; }
    // Made when first asked for: most sessions never open it.
    NewLayoutSheet* newLayoutSheet() const;
    // The title the window shows: the selected layout's name, or "Tessary Layouts".
    QString title() const;

Q_SIGNALS:
    void titleChanged(const QString& title);

private:
    struct RowWidgets;

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
    QListWidget* list_;
    std::vector<LayoutEditorViewModel::Row> shownRows_;
    std::vector<RowWidgets*> rowWidgets_;
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
