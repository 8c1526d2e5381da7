#pragma once

// The keys of the update configuration. The program's configuration is made of the build options
// TESSARY_UPDATE_FEED_URL and TESSARY_UPDATE_PUBLIC_KEY, both empty unless a packager sets them.

#include <string_view>

#include "TessaryCore/JSONCoding.h"

namespace tessary {

struct SparkleConfiguration {
    static constexpr std::string_view feedURLKey = "SUFeedURL";
    static constexpr std::string_view publicEDKeyKey = "SUPublicEDKey";

    // {"SUFeedURL": …, "SUPublicEDKey": …} from the build options.
    static json::Json fromBuildOptions();
};

}  // namespace tessary
