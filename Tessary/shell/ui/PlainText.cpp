#include "Tessary/shell/ui/PlainText.h"

#include <QEvent>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <QTextLayout>

namespace tessary {

QString menuItemText(const QString& text) {
    QString doubled = text;
    return doubled.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString plainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? QStringLiteral("<qt>%1</qt>").arg(text.toHtmlEscaped()) : text;
}

QString fittedText(const QString& text, const QFont& font, int width, int lines, Qt::TextElideMode mode, bool* cut) {
    const QFontMetrics metrics(font);
    QString shown;
    if (lines <= 1) {
        shown = metrics.elidedText(text, mode, width);
        if (cut) *cut = shown != text;
        return shown;
    }
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList shownLines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (shownLines.size() + 1 == lines) {
            shownLines << metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        shownLines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    shown = shownLines.join(QLatin1Char('\n'));
    if (cut) {
        static const QRegularExpression space(QStringLiteral("\\s"));
        const auto letters = [](QString s) { return s.remove(space); };
        *cut = letters(shown) != letters(text);
    }
    return shown;
}

void setPlainToolTip(QWidget& widget, const QString& text) {
    const QString shown = plainToolTip(text);
    widget.setToolTip(shown);
    // Qt reads the tool tip out as the description, markup and all.
    widget.setAccessibleDescription(shown == text ? QString() : text);
}

ElidedLabel::ElidedLabel(QString text, QWidget* parent, Qt::TextElideMode mode)
    : QLabel(parent), fullText_(std::move(text)), mode_(mode) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    refit();
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == fullText_) return;
    fullText_ = text;
    updateGeometry();
    refit();
}

void ElidedLabel::setMaximumLines(int lines) {
    if (lines < 1 || lines == maximumLines_) return;
    maximumLines_ = lines;
    updateGeometry();
    refit();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(fullText_) + m.left() + m.right() + 2 * margin(), minimumSizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    if (maximumLines_ == 1) return {0, QLabel::minimumSizeHint().height()};
    const QMargins m = contentsMargins();
    return {0, fontMetrics().lineSpacing() * maximumLines_ + m.top() + m.bottom() + 2 * margin()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refit();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) refit();
}

void ElidedLabel::refit() {
    const QString shown = fittedText(fullText_, font(), contentsRect().width() - 2 * margin(), maximumLines_, mode_, &elided_);
    if (shown != text()) setText(shown);
    setPlainToolTip(*this, elided_ ? fullText_ : QString());
    // A screen reader reads the whole text, however much of it shows.
    if (accessibleName() != fullText_) setAccessibleName(fullText_);
}

ElidedCheckBox::ElidedCheckBox(QString title, QWidget* parent) : QCheckBox(parent), title_(std::move(title)) {
    setAccessibleName(title_);
    refit();
}

QSize ElidedCheckBox::sizeFor(const QString& text) const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QSize label(fontMetrics().horizontalAdvance(text), fontMetrics().height());
    return style()->sizeFromContents(QStyle::CT_CheckBox, &option, label, this);
}

QSize ElidedCheckBox::sizeHint() const { return sizeFor(title_); }

QSize ElidedCheckBox::minimumSizeHint() const { return sizeFor(QStringLiteral("…")); }

void ElidedCheckBox::resizeEvent(QResizeEvent* event) {
    QCheckBox::resizeEvent(event);
    refit();
}

void ElidedCheckBox::changeEvent(QEvent* event) {
    QCheckBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateGeometry();
        refit();
    }
}

void ElidedCheckBox::refit() {
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this).width();
    const QString shown = fontMetrics().elidedText(title_, Qt::ElideRight, room);
    // Set only when it changes: a new text asks the layout again.
    if (const QString escaped = menuItemText(shown); escaped != text()) setText(escaped);
    elided_ = shown != title_;
    setPlainToolTip(*this, elided_ ? title_ : QString());
}

}  // namespace tessary
