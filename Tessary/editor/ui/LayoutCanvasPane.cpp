#include "Tessary/editor/ui/LayoutCanvasPane.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "Tessary/editor/ui/CanvasEditorView.h"
#include "Tessary/editor/ui/EditorConfirmation.h"
#include "Tessary/editor/ui/GridEditorView.h"
#include "Tessary/editor/ui/ResetButton.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "Tessary/shell/ui/PlainText.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

// The split commands' symbols: a rounded frame cut in two along the split, in the button's text
// colour and, disabled, in its disabled text colour: the style's own greying of a light drawing
// left it all but invisible on a dark window.
QIcon splitIcon(bool vertical, const QPalette& palette) {
    // Drawn at each size it is shown at: scaled down from 32 pixels, its lines came out at half ink.
    const auto drawn = [vertical](const QColor& ink, int side) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / 32.0, side / 32.0);
        p.setPen(QPen(ink, side <= 16 ? 3 : 2));
        p.drawRoundedRect(QRectF(4, 6, 24, 20), 3, 3);
        if (vertical) {
            p.drawLine(QPointF(16, 6), QPointF(16, 26));
        } else {
            p.drawLine(QPointF(4, 16), QPointF(28, 16));
        }
        return pixmap;
    };
    const QColor ink = palette.color(QPalette::Active, QPalette::ButtonText);
    const QColor faded = seenWhenDisabled(palette, QPalette::ButtonText, QPalette::Button);
    QIcon icon;
    for (const int side : {16, 32}) {
        icon.addPixmap(drawn(ink, side));
        icon.addPixmap(drawn(faded, side), QIcon::Disabled);
    }
    return icon;
}

// The "Sizes for" picker. It asks for the width of its longest display name, up to some two dozen
// letters, and gives way down to a dozen where the caption row is short of room; a name longer than
// it has room for (monitors named at length by `xrandr --setmonitor`) is cut with "…" and whole in
// its tool tip and its list. The help beside it keeps the room to show its lines.
class DisplayPicker final : public QComboBox {
public:
    explicit DisplayPicker(QWidget* parent) : QComboBox(parent) {
        connect(this, &QComboBox::currentTextChanged, this, [this] { followName(); });
    }

    QSize sizeHint() const override { return capped(QComboBox::sizeHint(), 24); }
    QSize minimumSizeHint() const override { return capped(QComboBox::minimumSizeHint(), 12); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        option.currentText = shownName();
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
    void resizeEvent(QResizeEvent* event) override {
        QComboBox::resizeEvent(event);
        followName();
    }

private:
    // The chosen name as it fits the field.
    QString shownName() const {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        return fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width());
    }
    void followName() {
        const QString tip = shownName() == currentText() ? QString() : currentText();
        if (toolTip() != plainToolTip(tip)) setPlainToolTip(*this, tip);
    }
    // The hint, at most as wide as the picker showing `letters` average letters.
    QSize capped(QSize hint, int letters) const {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        const QSize text(fontMetrics().averageCharWidth() * letters, fontMetrics().height());
        const QSize most = style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, this);
        hint.setWidth(std::min(hint.width(), most.width()));
        return hint;
    }
};

}  // namespace

// The area that centres the editor at the pane's surface size over its gradient.
class LayoutCanvasPane::Surface final : public QWidget {
public:
    Surface(LayoutCanvasPane& pane, QWidget* parent) : QWidget(parent), pane_(pane) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    QRect editorRect() const {
        const Size size = pane_.pane_.surfaceSize({static_cast<double>(width()), static_cast<double>(height())});
        return QRectF((width() - size.width) / 2, (height() - size.height) / 2, size.width, size.height).toAlignedRect();
    }

    void place() {
        const QRect r = editorRect();
        // Unchanged, the editors repaint only what changed in them.
        if (r == placed_) return;
        placed_ = r;
        pane_.grid_->setGeometry(r);
        pane_.canvas_->setGeometry(r);
        update();
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = editorRect();
        QPainterPath shape;
        shape.addRoundedRect(r, 12, 12);
        QLinearGradient gradient(r.topLeft(), r.bottomRight());
        gradient.setColorAt(0, QColor::fromRgbF(0.87f, 0.85f, 0.95f));
        gradient.setColorAt(1, QColor::fromRgbF(0.56f, 0.51f, 1.0f));
        p.fillPath(shape, gradient);
        QPainterPath border;
        border.addRoundedRect(r.adjusted(0.25, 0.25, -0.25, -0.25), 12, 12);
        p.strokePath(border, QPen(palette().color(QPalette::Mid), 0.5));
    }

private:
    LayoutCanvasPane& pane_;
    QRect placed_;
};

LayoutCanvasPane::LayoutCanvasPane(LayoutEditorModel& model, QWidget* parent)
    : QWidget(parent), model_(model), pane_(model, alertConfirmation()) {
    // Narrower than its full command row: the row then turns compact instead of holding the width.
    setMinimumWidth(240);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    commandRow_ = new QHBoxLayout;
    commandRow_->setSpacing(8);
    reset_ = new ResetButton(model, this);
    commandRow_->addWidget(reset_);
    commandRow_->addStretch();
    column->addLayout(commandRow_);

    surface_ = new Surface(*this, this);
    grid_ = new GridEditorView(model, surface_);
    canvas_ = new CanvasEditorView(model, surface_);
    // One name for whichever surface shows: for assistive technology, and for the end-to-end query.
    grid_->setAccessibleName(tr("Editing surface"));
    canvas_->setAccessibleName(tr("Editing surface"));
    column->addWidget(surface_, 1);

    auto* caption = new QHBoxLayout;
    auto* lines = new QVBoxLayout;
    lines->setSpacing(3);
    help_ = new QLabel(this);
    help_->setWordWrap(true);
    size_ = new QLabel(this);
    size_->setForegroundRole(QPalette::PlaceholderText);
    // A long display name wraps the size line rather than widening the column: the help above
    // must keep room for all of its lines. A name too long to break is cut at the edge here.
    size_->setWordWrap(true);
    size_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QLabel* label : {help_, size_}) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        label->setFont(font);
        // The size line names a display, the help line may quote a name: both as they are.
        label->setTextFormat(Qt::PlainText);
        lines->addWidget(label);
    }
    caption->addLayout(lines, 1);
    picker_ = new DisplayPicker(this);
    picker_->setAccessibleName(tr("Sizes for"));
    // activated comes from the user only; a refill sets the index with signals blocked anyway.
    connect(picker_, &QComboBox::activated, this, [this](int index) {
        pane_.choose(picker_->itemData(index).toUInt());
    });
    caption->addWidget(picker_, 0, Qt::AlignBottom);
    column->addLayout(caption);

    librarySubscription_ = model.zones().observe([this] { refresh(); });
    editorSubscription_ = model.observe([this](LayoutEditorModel::Property) { refresh(); });
    // The picker, the surface's proportions and the size line follow the displays as they come and
    // go. The provider hands out its screens read-only; listening changes nothing of them.
    if (const Screens* screens = DisplayProvider::screens()) {
        screensSubscription_ = const_cast<Screens*>(screens)->onChange([this] { refresh(); });
    }
    refresh();
}

QRect LayoutCanvasPane::surfaceRect() const { return surface_->editorRect().translated(surface_->pos()); }

void LayoutCanvasPane::focusSurface(QAbstractButton* button) {
    // Qt hands the focus of a button that is disabled or deleted on to the next control, the
    // inspector's name field with its text selected, where a Backspace meant for the zones renamed
    // the layout: it goes to the zones instead.
    if (!button->hasFocus()) return;
    if (grid_->isVisible()) {
        grid_->setFocus(Qt::OtherFocusReason);
    } else if (canvas_->isVisible()) {
        canvas_->setFocus(Qt::OtherFocusReason);
    } else {
        button->clearFocus();
    }
}

void LayoutCanvasPane::rebuildCommands() {
    const auto commands = pane_.commands();
    std::vector<LayoutCanvasPaneModel::CommandID> ids;
    for (const auto& command : commands) ids.push_back(command.id);
    if (ids != shownCommands_) {
        for (QAbstractButton* button : buttons_) focusSurface(button);
        for (QAbstractButton* button : buttons_) delete button;
        buttons_.clear();
        int at = 0;
        for (const auto& command : commands) {
            const QString title = QString::fromStdString(ZoneService::localized(command.title));
            QAbstractButton* button = nullptr;
            if (command.symbol.empty()) {
                auto* push = new QPushButton(title, this);
                adaptiveButtonStyle(push, false);
                button = push;
            } else {
                auto* tool = new QToolButton(this);
                tool->setText(title);
                // Drawn again in the new colours when the appearance changes while the editor is open.
                const bool vertical = command.id == LayoutCanvasPaneModel::CommandID::splitVertically;
                followAppearance(*tool, [tool, vertical] { tool->setIcon(splitIcon(vertical, tool->palette())); });
                tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
                tool->setAutoRaise(false);
                button = tool;
            }
            if (!command.help.empty()) button->setToolTip(QString::fromStdString(ZoneService::localized(command.help)));
            const auto id = command.id;
            connect(button, &QAbstractButton::clicked, this, [this, id] { pane_.perform(id); });
            commandRow_->insertWidget(at++, button);
            buttons_.push_back(button);
        }
        shownCommands_ = std::move(ids);
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!commands[i].enabled) focusSurface(buttons_[i]);
        buttons_[i]->setEnabled(commands[i].enabled);
    }
    fitCommands();
}

void LayoutCanvasPane::fitCommands() {
    // Qt's way of offering the full row first and the compact one when it does not fit.
    int full = reset_->sizeHint().width();
    for (QAbstractButton* button : buttons_) {
        if (auto* tool = qobject_cast<QToolButton*>(button)) tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        full += button->sizeHint().width() + commandRow_->spacing();
    }
    const int available = width() - contentsMargins().left() - contentsMargins().right() - 32;
    if (full <= available) return;
    for (QAbstractButton* button : buttons_) {
        if (auto* tool = qobject_cast<QToolButton*>(button)) tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
}

void LayoutCanvasPane::resizeEvent(QResizeEvent*) { fitCommands(); }

void LayoutCanvasPane::refresh() {
    const ZoneLayout* layout = model_.currentLayout();
    // The surface first: a command that goes or is disabled hands its focus to it.
    grid_->setVisible(layout && layout->kind.isGrid());
    canvas_->setVisible(layout && layout->kind.isCanvas());
    rebuildCommands();
    const auto reference = model_.referenceDisplay();
    grid_->setWorkArea(reference ? std::optional<Rect>(reference->workArea) : std::nullopt);
    surface_->place();

    const auto help = pane_.helpLine();
    const auto setText = [](QLabel* label, const QString& text) {
        if (label->text() != text) label->setText(text);
    };
    setText(help_, QString::fromStdString(help.text));
    showInTone(*help_, help.isError ? std::optional<QColor>(QColor(0xd7, 0x00, 0x15)) : std::nullopt);
    setText(size_, QString::fromStdString(pane_.sizeLine()));

    const QSignalBlocker block(picker_);
    picker_->clear();
    for (const auto& entry : pane_.pickerEntries()) picker_->addItem(QString::fromStdString(entry.title), entry.displayID);
    picker_->setCurrentIndex(picker_->findData(pane_.pickerValue()));
    picker_->setVisible(pane_.showsPicker());
}

}  // namespace tessary
