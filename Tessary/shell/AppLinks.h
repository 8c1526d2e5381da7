#pragma once

// The program's links into the product web site. The site is a build option; without one (or
// with one that is not an https:// address) every link is the empty text, and whoever opens links
// logs that there is nothing to open instead of guessing an address.

#include <string>
#include <string_view>

namespace tessary {

// The site root ("https://tessary.example"), "/changelog" and "/review" under it.
std::string websiteURL();
std::string changelogURL();
std::string reviewURL();

// The link for `path` ("" for the root) on `site`: empty unless the site is an https:// address
// with a host; a trailing "/" of the site is not doubled.
std::string siteLink(std::string_view site, std::string_view path);

// The host of the site ("tessary.example"), for labels; empty without a site.
std::string websiteHost();

}  // namespace tessary
