#include "Tessary/shell/ui/ListEditBar.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

namespace {

QToolButton* barButton(QWidget* parent, const QString& symbol) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFixedSize(28, 22);
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(12, 12));
    return button;
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

ListEditBar::ListEditBar(QString removeLabel, QMenu* addMenu, std::function<void()> remove, QWidget* parent)
    : QWidget(parent), onRemove_(std::move(remove)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(0);

    add_ = barButton(this, "plus");
    add_->setObjectName(QStringLiteral("addItem"));
    add_->setMenu(addMenu);
    add_->setPopupMode(QToolButton::InstantPopup);
    // The menu opens from the plus itself; no arrow beside it.
    add_->setStyleSheet("QToolButton::menu-indicator { image: none; width: 0px; }");
    if (addMenu && !addMenu->title().isEmpty()) setAddLabel(addMenu->title());
    row->addWidget(add_);

    QFrame* divider = makeDivider(this, Qt::Vertical);
    divider->setFixedHeight(14);
    row->addWidget(divider);

    remove_ = barButton(this, "minus");
    remove_->setObjectName(QStringLiteral("removeItem"));
    setPlainToolTip(*remove_, removeLabel);
    remove_->setAccessibleName(removeLabel);
    QObject::connect(remove_, &QToolButton::clicked, this, [this] {
        if (!canRemove_ || !onRemove_) return;
        // The handler may rebuild the list and this bar with it.
        auto handler = onRemove_;
        handler();
    });
    row->addWidget(remove_);
    row->addStretch(1);
    setCanRemove(true);
}

void ListEditBar::setAddLabel(const QString& label) {
    setPlainToolTip(*add_, label);
    add_->setAccessibleName(label);
}

void ListEditBar::setCanRemove(bool canRemove) {
    canRemove_ = canRemove;
    remove_->setEnabled(canRemove);
    auto* effect = new QGraphicsOpacityEffect(remove_);
    effect->setOpacity(canRemove ? 1.0 : 0.4);
    remove_->setGraphicsEffect(effect);
}

EmptyListBox::EmptyListBox(QString title, QString symbolName, QString description, QString removeLabel,
                           QMenu* addMenu, QWidget* parent)
    : QWidget(parent) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    auto* unavailable = new QWidget(this);
    unavailable->setMinimumHeight(216);
    auto* content = new QVBoxLayout(unavailable);
    content->setAlignment(Qt::AlignCenter);
    content->setSpacing(6);
    auto* symbol = new QLabel(unavailable);
    showSymbol(*symbol, symbolName, 40);
    symbol->setAlignment(Qt::AlignCenter);
    content->addWidget(symbol);
    auto* heading = plainLabel(title, unavailable);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    content->addWidget(heading);
    auto* detail = plainLabel(description, unavailable);
    detail->setForegroundRole(QPalette::PlaceholderText);
    content->addWidget(detail);
    stack->addWidget(unavailable, 1);

    stack->addWidget(makeDivider(this));
    bar_ = new ListEditBar(std::move(removeLabel), addMenu, [] {}, this);
    bar_->setCanRemove(false);
    stack->addWidget(bar_);
}

EmptyListForm::EmptyListForm(QString title, QString symbolName, QString description, std::optional<QString> footer,
                             QString removeLabel, QMenu* addMenu, QWidget* parent)
    : QWidget(parent) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(20, 20, 20, 20);
    auto* card = new CardFrame(this);
    auto* cardStack = new QVBoxLayout(card);
    cardStack->setContentsMargins(0, 0, 0, 0);
    box_ = new EmptyListBox(std::move(title), std::move(symbolName), std::move(description), std::move(removeLabel),
                            addMenu, card);
    cardStack->addWidget(box_);
    stack->addWidget(card);
    if (footer) {
        auto* note = new QLabel(*footer, this);
        note->setTextFormat(Qt::PlainText);
        note->setWordWrap(true);
        note->setForegroundRole(QPalette::PlaceholderText);
        note->setObjectName("footer");
        stack->addWidget(note);
    }
    stack->addStretch(1);
}

}  // namespace tessary
