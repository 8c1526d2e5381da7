#include "Tessary/integrations/ui/PreferredLanguage.h"

#include <QLocale>

namespace tessary {

std::string preferredLanguage(const QStringList& uiLanguages) {
    if (uiLanguages.isEmpty()) return "en";
    const QString language =
        uiLanguages.front().section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).section(QLatin1Char('.'), 0, 0).toLower();
    if (language.isEmpty() || language == QLatin1String("c") || language == QLatin1String("posix")) return "en";
    return language.toStdString();
}

std::string preferredLanguage() { return preferredLanguage(QLocale::system().uiLanguages()); }

}  // namespace tessary
