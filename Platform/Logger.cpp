#include "Platform/Logger.h"

#include "Platform/Linux/StderrLogSink.h"

namespace tessary {

namespace {

LogSink* installedSink = nullptr;

LogSink& standardErrorSink() {
    static StderrLogSink sink;
    return sink;
}

}  // namespace

int syslogPriority(LogLevel level) {
    switch (level) {
    case LogLevel::debug: return 7;
    case LogLevel::info: return 6;
    case LogLevel::notice: return 5;
    case LogLevel::error: return 3;
    case LogLevel::fault: return 2;
    }
    return 5;
}

void Logger::log(LogLevel level, std::string_view message) const {
    sink().write(LogRecord{category_, level, std::string(message)});
}

LogSink& Logger::sink() { return installedSink ? *installedSink : standardErrorSink(); }

void Logger::setSink(LogSink* sink) { installedSink = sink; }

ScopedLogSink::ScopedLogSink(LogSink& sink) : previous_(installedSink) { installedSink = &sink; }

ScopedLogSink::~ScopedLogSink() { installedSink = previous_; }

}  // namespace tessary
