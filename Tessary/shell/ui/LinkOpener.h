#pragma once

// Opens the program's web links with the desktop's URL handler (never through a shell). A link
// that is empty because no site was configured is logged and nothing opens.

#include <functional>
#include <string>

class QUrl;

namespace tessary {

// How a URL reaches the desktop; QDesktopServices::openUrl unless a test replaces it.
using URLOpener = std::function<bool(const QUrl&)>;
URLOpener desktopURLOpener();

// Opens `url` (one of websiteURL(), changelogURL(), reviewURL()); false when nothing opened.
bool openAppLink(const std::string& url, const URLOpener& open = desktopURLOpener());

}  // namespace tessary
