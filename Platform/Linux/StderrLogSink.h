#pragma once

#include <cstdio>
#include <string>

#include "Platform/Logger.h"

namespace tessary {

// Writes "category: message" lines to standard error. When the journal reads standard error
// ($JOURNAL_STREAM is set) each line starts with its syslog priority ("<5>"), so the journal keeps
// the level. Line breaks and other control characters inside a message are escaped, so that text
// from other applications (window titles) cannot forge lines or priorities.
class StderrLogSink : public LogSink {
public:
    // Reads $JOURNAL_STREAM once. Lines below the minimum level (info by default; debug when
    // $TESSARY_DEBUG is set) are dropped.
    StderrLogSink();
    StderrLogSink(std::FILE* stream, bool journalPrefixes, LogLevel minimumLevel);

    void write(const LogRecord& record) override;

    // The line written for a record, with its line break.
    std::string format(const LogRecord& record) const;

private:
    std::FILE* stream_;
    bool journalPrefixes_;
    LogLevel minimumLevel_;
};

}  // namespace tessary
