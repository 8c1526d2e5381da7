#pragma once

// The parts of a URL that the URL commands read, taken from the raw text as given: the scheme and
// the host keep their letter case (a normalising URL library would lower-case both and let
// "TESSARY://Snap" run), and a query value keeps its "+" (so "zone=+2" is the number 2).
//
// Lenient by design: the text comes from scripts and desktop launchers, which do not always
// escape spaces. A malformed percent escape stays as written; decoded text that is not valid
// UTF-8 is repaired. Nothing here fails.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct URLQueryItem {
    std::string name;
    // Nothing for a bare "name" without "=".
    std::optional<std::string> value;

    friend bool operator==(const URLQueryItem&, const URLQueryItem&) = default;
};

struct URLText {
    // The text before the first ":" when it is a scheme (a letter, then letters, digits, "+", "-"
    // or "."); nothing otherwise.
    std::optional<std::string> scheme;
    // The host of "scheme://host/…", percent-decoded, without user information or port; nothing
    // without the two slashes or with an empty host.
    std::optional<std::string> host;
    // The items of the query in URL order; nothing without "?".
    std::optional<std::vector<URLQueryItem>> queryItems;

    static URLText parse(std::string_view text);
};

// %XX escapes decoded; anything else as written; the result made valid UTF-8.
std::string percentDecoded(std::string_view text);

}  // namespace tessary
