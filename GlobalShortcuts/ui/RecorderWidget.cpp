#include "GlobalShortcuts/ui/RecorderWidget.h"

#include "GlobalShortcuts/ui/MenuShortcutSearch.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QIcon>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QVariant>

#include <algorithm>
#include <array>
#include <map>

namespace tessary {

namespace {

constexpr const char* kPolicyProperty = "tessaryConflictPolicy";

// The application's style without a text caret: keys pressed in a recorder record, they never edit,
// and a blinking caret would say otherwise. One for every recorder, living with the application.
// The field's frame and panel are drawn by the application's own style as it is at the time, so
// what the application draws on every other field (an edge that shows on a dark card) shows on the
// recorders too.
class CaretlessStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_TextCursorWidth) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QStyle* application = QApplication::style();
        if ((element == PE_FrameLineEdit || element == PE_PanelLineEdit) && application != this) {
            application->drawPrimitive(element, option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

QStyle* caretlessStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new CaretlessStyle(QApplication::style()->name());
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

// The clear icons drawn so far, one for each set of colours (an appearance), living with the
// application. Every recorder shows the one of its colours: a pane of recorders opened again draws
// none, and keeps none of its own (each drawn anew kept some of the process's memory for good).
class ClearIcons final : public QObject {
public:
    std::map<std::array<QRgb, 3>, QIcon> drawn;
};

ClearIcons& clearIcons() {
    static QPointer<ClearIcons> icons;
    if (!icons) {
        icons = new ClearIcons;
        icons->setParent(QCoreApplication::instance());
    }
    return *icons;
}

// The clear button's icon: a disc in the field's secondary text colour with a cross cut out of it,
// so the field shows through. That colour reads at 4.5:1 on the field in every appearance; the
// style's own icon, a pale grey, stood at 2.3:1 on a white field and was the button's only sign.
QIcon clearIcon(const QPalette& palette) {
    const QColor secondary = palette.color(QPalette::Active, QPalette::PlaceholderText);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const QColor disabled = palette.color(QPalette::Disabled, QPalette::Text);
    auto& drawnIcons = clearIcons().drawn;
    const std::array<QRgb, 3> colours{secondary.rgba(), text.rgba(), disabled.rgba()};
    if (const auto found = drawnIcons.find(colours); found != drawnIcons.end()) return found->second;
    const auto drawn = [](const QColor& ink, int side) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / 16.0, side / 16.0);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        return pixmap;
    };
    QIcon icon;
    for (const int side : {16, 32}) {
        icon.addPixmap(drawn(secondary, side));
        // Pressed, it darkens (lightens on a dark field) towards the text.
        icon.addPixmap(drawn(text, side), QIcon::Active);
        icon.addPixmap(drawn(disabled, side), QIcon::Disabled);
    }
    return drawnIcons.emplace(colours, icon).first->second;
}

}  // namespace

void setConflictPolicy(QWidget* widget, ConflictPolicy policy) {
    const QList<QVariant> value{int(policy.menuItem), int(policy.systemShortcut), int(policy.disallowed),
                                int(policy.ownShortcut)};
    widget->setProperty(kPolicyProperty, value);
}

ConflictPolicy conflictPolicyFor(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant value = w->property(kPolicyProperty);
        if (!value.isValid()) continue;
        const QList<QVariant> parts = value.toList();
        if (parts.size() != 4) continue;
        return ConflictPolicy{ConflictBehavior(parts[0].toInt()), ConflictBehavior(parts[1].toInt()),
                              ConflictBehavior(parts[2].toInt()), ConflictBehavior(parts[3].toInt())};
    }
    return ConflictPolicy::standard;
}

RecorderWidget::RecorderWidget(GlobalShortcuts& shortcuts, const GlobalShortcuts::Name& name,
                               RecorderModel::ChangeHandler onChange, QWidget* parent)
    : QLineEdit(parent), model_(std::make_unique<RecorderModel>(shortcuts, name, std::move(onChange))) {
    setUp(shortcuts);
}

RecorderWidget::RecorderWidget(GlobalShortcuts& shortcuts, std::optional<Shortcut> binding,
                               RecorderModel::ChangeHandler onChange, QWidget* parent)
    : QLineEdit(parent), model_(std::make_unique<RecorderModel>(shortcuts, binding, std::move(onChange))) {
    setUp(shortcuts);
}

RecorderWidget::~RecorderWidget() {
    // The model ends a recording as it goes; the keyboard is let go here.
    if (grabbing_) releaseKeyboard();
    model_.reset();
}

void RecorderWidget::setUp(GlobalShortcuts& shortcuts) {
    setStyle(caretlessStyle());
    setAlignment(Qt::AlignCenter);
    setClearButtonEnabled(true);
    // A screen reader names the clear button by its action's text, which Qt leaves empty.
    if (auto* clear = findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"))) clear->setText(tr("Clear Shortcut"));
    drawClearIcon();
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    RecorderModel::View& view = model_->view;
    view.beep = [] { QApplication::beep(); };
    view.runAlert = [this](const RecorderModel::Alert& alert) { return runAlert(alert); };
    view.resignFocus = [this] {
        clearFocus();
        model_->endRecording();
    };
    view.takeFocus = [this] {
        if (!isVisible()) return;
        setFocus(Qt::OtherFocusReason);
        startRecording();
    };
    view.keepFocus = [this] {
        if (isVisible() && !hasFocus()) setFocus(Qt::OtherFocusReason);
    };
    view.globalBounds = [this] {
        const QPoint origin = mapToGlobal(QPoint(0, 0));
        return Rect(origin.x(), origin.y(), width(), height());
    };
    view.moveFocus = [this](bool forward) { focusNextPrevChild(forward); };
    view.refresh = [this] { sync(); };
    mark_ = addAction(style()->standardIcon(QStyle::SP_MessageBoxWarning), QLineEdit::LeadingPosition);
    mark_->setVisible(false);
    // The mark sits in the field: a click on it is a click into the field.
    connect(mark_, &QAction::triggered, this, [this] {
        setFocus(Qt::OtherFocusReason);
        startRecording();
    });
    model_->menuItemUsing = [&shortcuts](const Shortcut& shortcut) -> std::optional<std::string> {
        const QAction* item = menuItemWithMatchingShortcut(shortcut, mainMenu(), shortcuts.keyboard());
        if (!item) return std::nullopt;
        return item->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')).toStdString();
    };
    model_->conflictPolicy = conflictPolicyFor(this);
    // Only the clear button edits: the field is empty only when it was pressed.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty()) model_->clear();
        sync();
    });
    sync();
}

QSize RecorderWidget::sizeHint() const {
    // 130 wide, wider when the shortcut needs it (Linux names its keys in words), with room for the
    // clear button and the mark on both sides so that the centred text is never under them; wide
    // enough for the prompts too, so that the field keeps its width as a recording starts.
    const int height = QLineEdit::sizeHint().height();
    const QFontMetrics metrics = fontMetrics();
    const int shortcut = metrics.horizontalAdvance(QString::fromStdString(model_->text())) + 2 * height + 16;
    int prompt = metrics.horizontalAdvance(placeholderText());
    for (const char* key : {"record_shortcut", "press_shortcut"}) {
        prompt = std::max(prompt, metrics.horizontalAdvance(QString::fromStdString(recorderText(key))));
    }
    return QSize(std::max({130, shortcut, prompt + 16}), height);
}

void RecorderWidget::setProblemLabel(QLabel* label) {
    problemLabel_ = label;
    sync();
}

void RecorderWidget::startRecording() {
    model_->conflictPolicy = conflictPolicyFor(this);
    model_->startRecording();
}

void RecorderWidget::sync() {
    const bool recording = model_->isRecording();
    // While recording the field holds no text: what it shows is drawn as its placeholder, and the
    // clear button, which follows the text, steps aside.
    const QString text = recording ? QString() : QString::fromStdString(model_->shownText());
    const QString placeholder = QString::fromStdString(recording ? model_->shownText() : model_->placeholder());
    if (this->text() != text || placeholderText() != placeholder) {
        setText(text);
        setPlaceholderText(placeholder);
        updateGeometry();
    }
    update();
    const QString problem = QString::fromStdString(model_->problem());
    mark_->setVisible(!problem.isEmpty());
    mark_->setToolTip(problem);
    setToolTip(problem);
    setAccessibleDescription(problem);
    if (problemLabel_) {
        problemLabel_->setText(problem);
        problemLabel_->setVisible(!problem.isEmpty());
    }
    if (recording && !grabbing_) {
        // The keyboard is grabbed on the field's own window, inside the focused one: the grab's end
        // then gives the focus back within our window. On the focused window itself, kwin took the
        // end of the grab for that window losing the focus and ignored the focus coming back with
        // it: the window kept the keyboard but was no longer the active one, so the shortcut
        // pressed next found no window. Its ancestors get windows of their own too: a field's
        // window placed inside a window-less scroll area was also drawn at the window's corner.
        setAttribute(Qt::WA_NativeWindow);
        grabKeyboard();
        grabbing_ = true;
    } else if (!recording && grabbing_) {
        releaseKeyboard();
        grabbing_ = false;
    }
}

int RecorderWidget::runAlert(const RecorderModel::Alert& alert) {
    QPointer<QWidget> owner = window();
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(recorderText("alert_title")),
                    QString::fromStdString(alert.message), QMessageBox::NoButton, owner);
    box.setWindowModality(Qt::WindowModal);
    if (alert.informativeText) box.setInformativeText(QString::fromStdString(*alert.informativeText));
    std::vector<QAbstractButton*> buttons;
    if (alert.buttons.empty()) {
        buttons.push_back(box.addButton(QMessageBox::Ok));
    } else {
        for (const std::string& title : alert.buttons) {
            buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
        }
    }
    // Escape gives the first answer (keep the shortcut as it was), never "use anyway": with two
    // accepting buttons the box would otherwise ignore it.
    box.setEscapeButton(buttons.front());
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) return int(i);
    }
    return 0;
}

bool RecorderWidget::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) model_->conflictPolicy = conflictPolicyFor(this);
    // While it records every key is the recording's: a shortcut of the window (Escape or Ctrl+W
    // closing it) would otherwise take the key before the recording sees it.
    if (event->type() == QEvent::ShortcutOverride && model_->isRecording()) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void RecorderWidget::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // A window that appears or comes to the front gives the focus without the user asking. A click
    // starts the recording from its press on the field itself (mousePressEvent): one on the clear
    // button focuses the field too, and a recording started then would empty the field and take
    // the button away before its release clears the shortcut.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) startRecording();
}

void RecorderWidget::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A popup (such as our own alert's) takes the focus only for a moment. A click takes it at its
    // press, even one just beside the field: its release decides (the model keeps recording
    // within 3 pixels and gives the focus back, and ends it further away).
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::MouseFocusReason) return;
    model_->endRecording();
}

void RecorderWidget::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) startRecording();
}

void RecorderWidget::mouseReleaseEvent(QMouseEvent* event) {
    // X11's middle-click paste would put the selection into the field.
    if (event->button() == Qt::MiddleButton) return;
    QLineEdit::mouseReleaseEvent(event);
}

void RecorderWidget::keyPressEvent(QKeyEvent* event) {
    // While recording the model sees every key first; otherwise keys do nothing here.
    event->ignore();
}

void RecorderWidget::hideEvent(QHideEvent* event) {
    model_->endRecording();
    QLineEdit::hideEvent(event);
}

void RecorderWidget::showEvent(QShowEvent* event) {
    QLineEdit::showEvent(event);
    // The user came to look: a combination another program held may be free now.
    model_->checkAgain();
}

void RecorderWidget::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // Qt leaves a focused centred field's placeholder out (its caret would sit in the text); this
    // field has no caret, and the placeholder is what it has to say.
    if (!text().isEmpty() || placeholderText().isEmpty() || !hasFocus()) return;
    QPainter painter(this);
    const QRect caret = cursorRect();
    const QRect area(contentsRect().left(), caret.top(), contentsRect().width(), caret.height());
    const int width = fontMetrics().horizontalAdvance(placeholderText());
    const QRect line(caret.center().x() - width / 2, area.top(), width, area.height());
    painter.setClipRect(area);
    painter.setPen(palette().color(model_->showsKeys() ? QPalette::Text : QPalette::PlaceholderText));
    painter.drawText(line, Qt::AlignCenter, placeholderText());
}

void RecorderWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !QApplication::activeModalWidget()) {
        model_->endRecording();
    }
    QLineEdit::changeEvent(event);
    // A change of appearance while the field shows: the icon in the new colours.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) drawClearIcon();
}

void RecorderWidget::drawClearIcon() {
    if (auto* clear = findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"))) clear->setIcon(clearIcon(palette()));
}

}  // namespace tessary
