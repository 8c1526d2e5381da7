#pragma once

#include <QIcon>
#include <QString>

namespace tessary {

// Icons named by the symbol names the views use ("plus", "minus", "checkmark", ...): the matching
// freedesktop theme icon when the desktop's theme has it, else a small drawing of our own in the
// palette's text colour, so that a desktop without an icon theme still shows every control.
QIcon symbolIcon(const QString& symbolName);

// The freedesktop icon name for a symbol name; empty when there is none.
QString freedesktopIconName(const QString& symbolName);

}  // namespace tessary
