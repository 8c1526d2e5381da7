#pragma once

#include <QWidget>

#include <vector>

#include "Platform/Signal.h"
#include "Tessary/editor/LayoutCanvasPaneModel.h"

class QAbstractButton;
class QComboBox;
class QHBoxLayout;
class QLabel;

namespace tessary {

class CanvasEditorView;
class GridEditorView;
class ResetButton;

// The centre column of the editor: the zone commands of the layout's kind with the reset control,
// the grid or canvas editor on its gradient in the proportions of its target, the help and size
// lines, and the "Sizes for" picker. The split buttons show their icons alone when the row would
// not fit; "Merge" keeps its text.
class LayoutCanvasPane final : public QWidget {
    Q_OBJECT

public:
    explicit LayoutCanvasPane(LayoutEditorModel& model, QWidget* parent = nullptr);

    const std::vector<QAbstractButton*>& commandButtons() const { return buttons_; }
    QLabel* helpLabel() const { return help_; }
    QLabel* sizeLabel() const { return size_; }
    QComboBox* sizePicker() const { return picker_; }
    GridEditorView* gridEditor() const { return grid_; }
    CanvasEditorView* canvasEditor() const { return canvas_; }
    // The rectangle of the editing surface, in this widget's coordinates.
    QRect surfaceRect() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Surface;

    void refresh();
    void rebuildCommands();
    // Moves the focus from a command about to be disabled or deleted to the editing surface.
    void focusSurface(QAbstractButton* button);
    void fitCommands();

    LayoutEditorModel& model_;
    LayoutCanvasPaneModel pane_;
    QHBoxLayout* commandRow_;
    std::vector<QAbstractButton*> buttons_;
    std::vector<LayoutCanvasPaneModel::CommandID> shownCommands_;
    ResetButton* reset_;
    Surface* surface_;
    GridEditorView* grid_;
    CanvasEditorView* canvas_;
    QLabel* help_;
    QLabel* size_;
    QComboBox* picker_;
    Subscription librarySubscription_;
    Subscription editorSubscription_;
    Subscription screensSubscription_;
};

}  // namespace tessary
