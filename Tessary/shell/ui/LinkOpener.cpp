#include "Tessary/shell/ui/LinkOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include "Platform/Logger.h"

namespace tessary {

URLOpener desktopURLOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool openAppLink(const std::string& url, const URLOpener& open) {
    static const Logger log("AppLinks");
    if (url.empty()) {
        log.notice("No product web site configured in this build; no link to open");
        return false;
    }
    const QUrl target(QString::fromStdString(url), QUrl::StrictMode);
    if (!target.isValid()) {
        log.error("Not a valid link: " + url);
        return false;
    }
    return open(target);
}

}  // namespace tessary
