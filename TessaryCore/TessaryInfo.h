#pragma once

// The product's constants.

#include <string_view>

namespace tessary {

struct TessaryInfo {
    // The name in user-visible texts.
    static constexpr std::string_view productName = "Tessary";
    // The application identifier (reverse DNS): the desktop entry's name and every logger's subsystem.
    static constexpr std::string_view bundleIdentifier = "app.tessary.Tessary";
    // The scheme of the URL commands.
    static constexpr std::string_view urlScheme = "tessary";
};

}  // namespace tessary
