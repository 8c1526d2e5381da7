#include "Platform/Sim/RecordingLogSink.h"

namespace tessary {

std::vector<std::string> RecordingLogSink::messages(std::string_view category) const {
    std::vector<std::string> result;
    for (const LogRecord& record : records_) {
        if (record.category == category) result.push_back(record.message);
    }
    return result;
}

}  // namespace tessary
