#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/Logger.h"

namespace tessary {

// Keeps every record, for tests that assert what was logged.
class RecordingLogSink : public LogSink {
public:
    void write(const LogRecord& record) override { records_.push_back(record); }

    const std::vector<LogRecord>& records() const { return records_; }
    // The messages of one category, in order.
    std::vector<std::string> messages(std::string_view category) const;
    void clear() { records_.clear(); }

private:
    std::vector<LogRecord> records_;
};

}  // namespace tessary
