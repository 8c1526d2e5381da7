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

// The tone's hue moved towards the text colour (darker on a light window, lighter on a dark one)
// just far enough that its words read at 4.5:1 on its own capsule over either surface, with room
// for the cards a tag also sits on (the window tinted a few per cent).
QColor readable(const QColor& hue, const QPalette& palette) {
    const QColor ink = palette.color(QPalette::WindowText);
    for (double t = 0; t < 1.0; t += 0.05) {
        const QColor colour = mixColours(hue, ink, t);
        bool reads = true;
        for (const auto surface : {QPalette::Window, QPalette::Base}) {
            const QColor capsule = mixColours(palette.color(surface), colour, 0.14);
            reads = reads && contrastRatio(colour, capsule) >= 5.2;
        }
        if (reads) return colour;
    }
    return ink;
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

QColor StatusTag::toneColor() const {
    switch (tone_) {
        case Tone::positive: return readable(QColor(36, 161, 72), palette());
        case Tone::warning: return readable(QColor(215, 48, 39), palette());
        case Tone::neutral: break;
    }
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
