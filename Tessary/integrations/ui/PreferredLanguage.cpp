#include "Tessary/integrations/ui/PreferredLanguage.h"

#include <QLocale>

namespace tessary {

std::string preferredLanguage() {
    const QStringList languages = QLocale::system().uiLanguages();
    if (languages.isEmpty()) return "en";
    const QString language = languages.front().section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0);
    return language.isEmpty() ? std::string("en") : language.toLower().toStdString();
}

}  // namespace tessary
