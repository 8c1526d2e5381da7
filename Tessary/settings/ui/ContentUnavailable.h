#pragma once

#include <QString>

class QWidget;

namespace tessary {

// What a detail area shows when there is nothing to show: a large grey symbol, a title and a
// description, centred.
QWidget* makeContentUnavailable(const QString& title, const QString& symbolName, const QString& description,
                                QWidget* parent = nullptr);

}  // namespace tessary
