#include "Tessary/shell/AppLinks.h"

#include "Tessary/shell/BuildOptions.h"

namespace tessary {

namespace {

constexpr std::string_view httpsPrefix = "https://";

bool isAddressCharacter(char c) {
    // Printable ASCII without blanks, quotes or angle brackets: nothing a URL must not carry raw.
    return c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\';
}

std::string_view validSite(std::string_view site) {
    if (!site.starts_with(httpsPrefix)) return {};
    for (char c : site) {
        if (!isAddressCharacter(c)) return {};
    }
    while (site.size() > httpsPrefix.size() && site.ends_with('/')) site.remove_suffix(1);
    if (site.size() == httpsPrefix.size()) return {};
    return site;
}

}  // namespace

std::string siteLink(std::string_view site, std::string_view path) {
    const std::string_view root = validSite(site);
    if (root.empty()) return {};
    return std::string(root) + std::string(path);
}

std::string websiteURL() { return siteLink(buildOptions::website, ""); }
std::string changelogURL() { return siteLink(buildOptions::website, "/changelog"); }
std::string reviewURL() { return siteLink(buildOptions::website, "/review"); }

std::string websiteHost() {
    std::string_view root = validSite(buildOptions::website);
    if (root.empty()) return {};
    root.remove_prefix(httpsPrefix.size());
    return std::string(root.substr(0, root.find_first_of("/:?#")));
}

}  // namespace tessary
