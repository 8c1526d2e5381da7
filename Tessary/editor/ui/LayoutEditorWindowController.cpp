#include "Tessary/editor/ui/LayoutEditorWindowController.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/shell/ui/WindowCentring.h"
#include "Tessary/shell/ui/WindowCloseKeys.h"

namespace tessary {

// The editor's top-level window: closing ends the preview and hides it; the window is kept, as no
// window without WA_DeleteOnClose is deleted by a close. Refusing the close would make whoever
// closes every window first (Qt's quit, a session's logout) give up.
class LayoutEditorWindowController::Window final : public QWidget {
public:
    explicit Window(EditorPreview& preview) : preview_(preview) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        preview_.windowClosed();
        QWidget::closeEvent(event);
    }

private:
    EditorPreview& preview_;
};

namespace {

constexpr QSize windowSize{1120, 700};

bool isTextField(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget);
}

}  // namespace

LayoutEditorWindowController::LayoutEditorWindowController(ZoneService& zones, PreviewPresenting& overlay,
                                                           Scheduler& scheduler)
    : model_(zones), preview_(model_, overlay, scheduler), window_(std::make_unique<Window>(preview_)) {
    auto* column = new QVBoxLayout(window_.get());
    column->setContentsMargins(0, 0, 0, 0);
    view_ = new LayoutEditorView(model_, window_.get());
    column->addWidget(view_);
    window_->setFixedSize(windowSize);
    window_->setWindowTitle(view_->title());
    connect(view_, &LayoutEditorView::titleChanged, window_.get(), &QWidget::setWindowTitle);
    // Ctrl+W only: Escape ends the preview here (eventFilter).
    addCloseKeys(*window_, CloseKeys::ctrlW);
    qApp->installEventFilter(this);
}

LayoutEditorWindowController::~LayoutEditorWindowController() { qApp->removeEventFilter(this); }

QWidget* LayoutEditorWindowController::window() const { return window_.get(); }

void LayoutEditorWindowController::show() {
    placeOnPointerDisplay(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool LayoutEditorWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
    const auto* target = qobject_cast<QWidget*>(watched);
    // Every widget on the way sees the event; judge it once, at the widget it was sent to.
    if (!target || (target != QApplication::focusWidget() && target != target->window())) return false;
    const QWidget* modal = QApplication::activeModalWidget();
    const EscapeContext context{
        model_.previewDisplayID().has_value(),
        target->window() == window_.get(),
        modal && modal != window_.get() && modal->parentWidget() && modal->parentWidget()->window() == window_.get(),
        isTextField(QApplication::focusWidget()),
    };
    if (!swallowsEscape(context)) return false;
    model_.setPreviewDisplayID(std::nullopt);
    return true;
}

}  // namespace tessary
