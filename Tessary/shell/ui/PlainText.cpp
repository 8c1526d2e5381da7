#include "Tessary/shell/ui/PlainText.h"

#include <QEvent>
#include <QTextDocument>

namespace tessary {

QString menuItemText(const QString& text) {
    QString doubled = text;
    return doubled.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString plainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? QStringLiteral("<qt>%1</qt>").arg(text.toHtmlEscaped()) : text;
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

QSize ElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(fullText_) + m.left() + m.right() + 2 * margin(), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refit();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) refit();
}

void ElidedLabel::refit() {
    const QString shown = fontMetrics().elidedText(fullText_, mode_, contentsRect().width() - 2 * margin());
    if (shown != text()) setText(shown);
    setPlainToolTip(*this, shown == fullText_ ? QString() : fullText_);
    // A screen reader reads the whole text, however much of it shows.
    if (accessibleName() != fullText_) setAccessibleName(fullText_);
}

}  // namespace tessary
