#pragma once

// The product's constants.

#include <cctype>
#include <string_view>

namespace tessary {

struct TessaryInfo {
    // The name in user-visible texts.
    static constexpr std::string_view productName = "Tessary";
    // The application identifier (reverse DNS): the desktop entry's name and every logger's subsystem.
    static constexpr std::string_view bundleIdentifier = "app.tessary.Tessary";
    // The scheme of the URL commands.
    static constexpr std::string_view urlScheme = "tessary";

    // Whether the text starts with "tessary:" in any letter case: what a start hands to the
    // instance as a URL, whose handler alone judges the rest (and the case).
    static bool hasURLScheme(std::string_view text) {
        if (text.size() <= urlScheme.size() || text[urlScheme.size()] != ':') return false;
        for (std::size_t i = 0; i < urlScheme.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(text[i])) != urlScheme[i]) return false;
        }
        return true;
    }
};

}  // namespace tessary
