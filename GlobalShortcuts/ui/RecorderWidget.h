#pragma once

// The shortcut recorder: a small centred field (130 wide, wider for a long text) with a clear button, over a
// RecorderModel that decides everything it shows and does. A click or Tab into it starts a
// recording; showing or activating its window never does; losing the focus, hiding, or the window
// going inactive ends it. While it records it holds the keyboard, or a combination the window
// manager holds would never reach it, and it shows the model's prompt or the modifiers held, drawn
// by the widget itself (Qt hides a focused centred field's placeholder). It never draws a caret:
// typing records, it does not edit. Only the model sets the text: typing, pasting and the middle-click
// paste change nothing. Alerts are message boxes, modal to the recorder's window. A shortcut that
// does not work (another program holds it) is marked with a warning sign, and its reason is the
// field's tool tip and accessible description, and the text of a label its owner gives it.
//
// The conflict policy comes from the nearest ancestor that has one (setConflictPolicy), read at
// creation, when the widget moves to another parent and when a recording starts.

#include "GlobalShortcuts/RecorderModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <memory>

namespace tessary {

// Gives the widget and everything inside it a conflict policy.
void setConflictPolicy(QWidget* widget, ConflictPolicy policy);
// The policy of the nearest ancestor (the widget itself first) that has one; the standard one else.
ConflictPolicy conflictPolicyFor(const QWidget* widget);

class RecorderWidget final : public QLineEdit {
public:
    RecorderWidget(GlobalShortcuts& shortcuts, const GlobalShortcuts::Name& name,
                   RecorderModel::ChangeHandler onChange = nullptr, QWidget* parent = nullptr);
    RecorderWidget(GlobalShortcuts& shortcuts, std::optional<Shortcut> binding,
                   RecorderModel::ChangeHandler onChange = nullptr, QWidget* parent = nullptr);
    ~RecorderWidget() override;

    RecorderModel& model() { return *model_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // A label that shows why the shortcut does not work, hidden while it works.
    void setProblemLabel(QLabel* label);

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setUp(GlobalShortcuts& shortcuts);
    void startRecording();
    void sync();
    void drawClearIcon();
    int runAlert(const RecorderModel::Alert& alert);

    std::unique_ptr<RecorderModel> model_;
    bool grabbing_ = false;
    QAction* mark_ = nullptr;
    QPointer<QLabel> problemLabel_;
};

}  // namespace tessary
