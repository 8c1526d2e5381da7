#include "Tessary/integrations/SparkleConfiguration.h"

#include "Tessary/shell/BuildOptions.h"

namespace tessary {

json::Json SparkleConfiguration::fromBuildOptions() {
    json::Json info = json::Json::object();
    info[std::string(feedURLKey)] = std::string(buildOptions::updateFeedURL);
    info[std::string(publicEDKeyKey)] = std::string(buildOptions::updatePublicKey);
    return info;
}

}  // namespace tessary
