#include "Tessary/settings/ui/ContentUnavailable.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

QWidget* makeContentUnavailable(const QString& title, const QString& symbolName, const QString& description,
                                QWidget* parent) {
    auto* box = new QWidget(parent);
    box->setObjectName(QStringLiteral("contentUnavailable"));
    auto* column = new QVBoxLayout(box);
    column->setSpacing(6);
    column->addStretch(1);
    auto* symbol = new QLabel(box);
    symbol->setPixmap(symbolIcon(symbolName).pixmap(40, 40));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setEnabled(false);
    column->addWidget(symbol);
    QLabel* heading = SettingsForm::plainLabel(title, box);
    heading->setObjectName(QStringLiteral("unavailableTitle"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignCenter);
    column->addWidget(heading);
    QLabel* text = SettingsForm::captionLabel(description, box);
    text->setAlignment(Qt::AlignCenter);
    column->addWidget(text);
    column->addStretch(1);
    return box;
}

}  // namespace tessary
