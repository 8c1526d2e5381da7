#include "Tessary/shell/ui/AppStyle.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOption>

#include "Tessary/shell/ui/AppAppearance.h"

namespace tessary {

AppStyle::AppStyle(const QString& baseStyle) : QProxyStyle(baseStyle) { setObjectName(QStringLiteral("tessary")); }

QColor AppStyle::controlEdge(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::Text);
    for (double t = 0.3; t < 1.0; t += 0.05) {
        const QColor edge = mixColours(base, text, t);
        if (contrastRatio(edge, base) >= 3.5 && contrastRatio(edge, window) >= 3.5) return edge;
    }
    return text;
}

void AppStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    const bool enabled = option->state & State_Enabled;
    switch (element) {
    case PE_FrameFocusRect:
        // The style marks the focused row of a list with a filled frame that lightens the selection
        // under the row's text; a plain line marks it as well.
        if (qobject_cast<const QAbstractItemView*>(widget)) {
            painter->save();
            const QColor accent = option->palette.color(QPalette::Highlight);
            painter->setPen(QPen((option->state & State_Selected) ? accent.darker(150) : accent, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
            painter->restore();
            return;
        }
        break;
    case PE_PanelButtonCommand:
        // Push buttons only: a checked tool button keeps the style's pressed look and its label.
        if ((option->state & State_On) && !(option->state & State_Sunken) &&
            qstyleoption_cast<const QStyleOptionButton*>(option)) {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            const QColor fill = option->palette.color(enabled ? QPalette::Normal : QPalette::Disabled, QPalette::Highlight);
            painter->setPen(QPen(fill.darker(115), 1));
            painter->setBrush(fill);
            painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
            painter->restore();
            return;
        }
        break;
    case PE_IndicatorCheckBox:
    case PE_IndicatorItemViewItemCheck:
    case PE_IndicatorRadioButton:
    case PE_FrameLineEdit: {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        // A focused field keeps the style's own accent ring.
        if (!enabled || (element == PE_FrameLineEdit && (option->state & State_HasFocus))) return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(controlEdge(option->palette), 1));
        painter->setBrush(Qt::NoBrush);
        const QRectF edge = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        if (element == PE_IndicatorRadioButton) {
            painter->drawEllipse(edge.adjusted(0.5, 0.5, -0.5, -0.5));
        } else {
            painter->drawRoundedRect(edge, 2, 2);
        }
        painter->restore();
        return;
    }
    default: break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void AppStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                           const QWidget* widget) const {
    if (element == CE_PushButtonLabel && (option->state & State_On) && !(option->state & State_Sunken)) {
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            QStyleOptionButton onAccent = *button;
            for (const auto group : {QPalette::Active, QPalette::Inactive}) {
                onAccent.palette.setColor(group, QPalette::ButtonText,
                                          button->palette.color(group, QPalette::HighlightedText));
            }
            QProxyStyle::drawControl(element, &onAccent, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

}  // namespace tessary
