#include "Tessary/settings/ui/SettingsForm.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tessary {

SettingsForm::SettingsForm(QWidget* parent) : QWidget(parent), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(20, 12, 20, 20);
    column_->setSpacing(6);
}

QVBoxLayout* SettingsForm::addSection(const QString& header, const QString& footer) {
    if (!header.isEmpty()) {
        auto* title = plainLabel(header, this);
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
        column_->addSpacing(column_->count() ? 10 : 0);
        column_->addWidget(title);
    } else if (column_->count()) {
        column_->addSpacing(10);
    }
    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("settingsCard"));
    card->setAutoFillBackground(true);
    card->setBackgroundRole(QPalette::Base);
    card->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(12, 8, 12, 8);
    rows->setSpacing(10);
    column_->addWidget(card);
    if (!footer.isEmpty()) column_->addWidget(captionLabel(footer, this));
    return rows;
}

SettingsForm* SettingsForm::fill(QWidget* pane) {
    auto* form = new SettingsForm(pane);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);
    return form;
}

QWidget* SettingsForm::unavailable(const QString& title, const QString& description, const QString& objectName) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->addStretch(1);
    auto* heading = plainLabel(title, box);
    heading->setObjectName(objectName);
    heading->setAlignment(Qt::AlignCenter);
    column->addWidget(heading);
    auto* line = captionLabel(description, box);
    line->setAlignment(Qt::AlignCenter);
    column->addWidget(line);
    column->addStretch(1);
    return box;
}

void SettingsForm::clearLater(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
}

void SettingsForm::addWidget(QWidget* widget) { column_->addWidget(widget); }

void SettingsForm::addStretch() { column_->addStretch(1); }

QLabel* SettingsForm::plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* SettingsForm::captionLabel(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}

QWidget* SettingsForm::twoLineLabel(const QString& title, const QString& description, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* lines = new QVBoxLayout(box);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);
    QLabel* first = plainLabel(title, box);
    first->setWordWrap(true);
    lines->addWidget(first);
    if (!description.isEmpty()) lines->addWidget(captionLabel(description, box));
    return box;
}

QWidget* SettingsForm::row(QWidget* label, QWidget* control, QWidget* parent) {
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    label->setParent(line);
    control->setParent(line);
    layout->addWidget(label, 1);
    layout->addWidget(control, 0, Qt::AlignVCenter | Qt::AlignRight);
    return line;
}

QWidget* SettingsForm::toggleRow(const QString& title, const QString& description, const QString& objectName,
                                 QCheckBox** toggle, QWidget* parent) {
    auto* box = new QCheckBox;
    box->setObjectName(objectName);
    box->setAccessibleName(title);
    *toggle = box;
    return row(twoLineLabel(title, description), box, parent);
}

void SettingsForm::nameField(QWidget* control, const QString& name) {
    auto* field = qobject_cast<QLineEdit*>(control);
    if (!field) field = control->findChild<QLineEdit*>();
    if (field) field->setAccessibleName(name);
}

}  // namespace tessary
