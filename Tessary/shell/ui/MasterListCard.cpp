#include "Tessary/shell/ui/MasterListCard.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tessary {

CardFrame::CardFrame(QWidget* parent) : QFrame(parent) { setFrameShape(QFrame::NoFrame); }

void CardFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.04f);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.18f);
    const QRectF bounds = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath path;
    path.addRoundedRect(bounds, 12, 12);
    painter.fillPath(path, fill);
    painter.strokePath(path, QPen(line, 0.5));
}

MasterListCard::MasterListCard(QWidget* rows, QWidget* bar, QWidget* parent) : QWidget(parent), rows_(rows), bar_(bar) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 20, 0, 20);
    auto* card = new CardFrame(this);
    card->setFixedWidth(cardWidth);
    auto* stack = new QVBoxLayout(card);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    // The list sits on the card: no frame or background of its own.
    if (auto* list = qobject_cast<QAbstractScrollArea*>(rows)) {
        list->setFrameShape(QFrame::NoFrame);
        list->viewport()->setAutoFillBackground(false);
        list->setAutoFillBackground(false);
    }
    stack->addWidget(rows, 1);
    stack->addWidget(makeDivider(card));
    stack->addWidget(bar);
    outer->addWidget(card);
}

QFrame* makeDivider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.18f);
    palette.setColor(QPalette::WindowText, colour);
    line->setPalette(palette);
    return line;
}

QWidget* dividedPane(QWidget* content) {
    auto* pane = new QWidget;
    auto* stack = new QVBoxLayout(pane);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(makeDivider(pane));
    stack->addWidget(content, 1);
    return pane;
}

}  // namespace tessary
