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

namespace {

// A separator in the window text colour at 18 %, taken when it is painted: a palette colour with
// alpha set on the frame was drawn opaque (a bright bar on a dark window) and kept the colours of
// the appearance it was made in.
class SeparatorLine final : public QFrame {
public:
    SeparatorLine(Qt::Orientation orientation, QWidget* parent) : QFrame(parent) {
        setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
        if (orientation == Qt::Horizontal) {
            setFixedHeight(1);
        } else {
            setFixedWidth(3);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor colour = palette().color(QPalette::WindowText);
        colour.setAlphaF(0.18f);
        const QRect line = frameShape() == QFrame::HLine ? QRect(0, height() / 2, width(), 1)
                                                         : QRect(width() / 2, 0, 1, height());
        painter.fillRect(line, colour);
    }
};

}  // namespace

QFrame* makeDivider(QWidget* parent, Qt::Orientation orientation) { return new SeparatorLine(orientation, parent); }

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
