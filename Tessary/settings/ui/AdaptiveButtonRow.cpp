#include "Tessary/settings/ui/AdaptiveButtonRow.h"

#include <QLabel>
#include <QBoxLayout>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>

namespace tessary {

namespace {
constexpr int rowSpacing = 10;
constexpr int columnSpacing = 8;
}  // namespace

AdaptiveButtonRow::AdaptiveButtonRow(QWidget* parent) : QWidget(parent), layout_(new QBoxLayout(QBoxLayout::LeftToRight, this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(rowSpacing);
    layout_->setSizeConstraint(QLayout::SetNoConstraint);
    layout_->addStretch(1);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void AdaptiveButtonRow::addButton(QPushButton* button) {
    buttons_.push_back(button);
    layout_->insertWidget(layout_->count() - 1, button, 0, Qt::AlignLeft);
    updateGeometry();
}

bool AdaptiveButtonRow::isColumn() const { return layout_->direction() == QBoxLayout::TopToBottom; }

int AdaptiveButtonRow::rowWidth() const {
    int width = 0;
    for (const QPushButton* button : buttons_) {
        if (!button->isHidden()) width += button->sizeHint().width() + (width ? rowSpacing : 0);
    }
    return width;
}

QSize AdaptiveButtonRow::minimumSizeHint() const {
    int widest = 0;
    for (const QPushButton* button : buttons_) widest = std::max(widest, button->sizeHint().width());
    return {widest, height(isColumn())};
}

QSize AdaptiveButtonRow::sizeHint() const { return {rowWidth(), height(isColumn())}; }

int AdaptiveButtonRow::height(bool column) const {
    int tallest = 0;
    int stacked = 0;
    for (const QPushButton* button : buttons_) {
        if (button->isHidden()) continue;
        tallest = std::max(tallest, button->sizeHint().height());
        stacked += button->sizeHint().height() + (stacked ? columnSpacing : 0);
    }
    return column ? stacked : tallest;
}

void AdaptiveButtonRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrange(event->size().width());
}

void AdaptiveButtonRow::arrange(int width) {
    const bool column = width < rowWidth();
    if (column == isColumn()) return;
    layout_->setDirection(column ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    layout_->setSpacing(column ? columnSpacing : rowSpacing);
    updateGeometry();
}

}  // namespace tessary
