#include "Tessary/shell/ui/StatusTag.h"

#include <QPainter>
#include <QPainterPath>

#include "Tessary/shell/ui/AppAppearance.h"

namespace tessary {

namespace {

constexpr int kHorizontalPadding = 9;
constexpr int kVerticalPadding = 4;

QFont tagFont(QFont font) {
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setWeight(QFont::DemiBold);
    return font;
}

}  // namespace

StatusTag::StatusTag(QString text, Tone tone, QWidget* parent) : QWidget(parent), text_(std::move(text)), tone_(tone) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text_);
}

void StatusTag::setText(QString text) {
    if (text_ == text) return;
    text_ = std::move(text);
    setAccessibleName(text_);
    updateGeometry();
    update();
}

void StatusTag::setTone(Tone tone) {
    if (tone_ == tone) return;
    tone_ = tone;
    update();
}

std::optional<QColor> StatusTag::hueOf(Tone tone) {
    switch (tone) {
        case Tone::positive: return QColor(36, 161, 72);
        case Tone::warning: return QColor(215, 48, 39);
        case Tone::neutral: break;
    }
    return std::nullopt;
}

QColor StatusTag::toneColor() const {
    if (const auto hue = hueOf(tone_)) return readableTone(*hue, palette(), 0.14);
    return palette().color(QPalette::PlaceholderText);
}

QSize StatusTag::sizeHint() const {
    const QFontMetrics metrics(tagFont(font()));
    return {metrics.horizontalAdvance(text_) + 2 * kHorizontalPadding, metrics.height() + 2 * kVerticalPadding};
}

void StatusTag::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor capsule = toneColor();
    capsule.setAlphaF(0.14f);
    QPainterPath path;
    const QRectF bounds = QRectF(rect());
    path.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    painter.fillPath(path, capsule);
    painter.setFont(tagFont(font()));
    painter.setPen(toneColor());
    // Drawn as plain text: a tag shows its words, never markup.
    painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

}  // namespace tessary
