#pragma once

// One logger per component category. Lines go to the process-wide sink: standard error by default
// (with the journal's priority prefixes when the journal reads it), a recording sink in tests.

#include <string>
#include <string_view>

namespace tessary {

enum class LogLevel {
    debug,
    info,
    notice,  // the default level: worth keeping, not a failure
    error,
    fault,   // a bug in this program
};

// The syslog priority of a level (debug 7, info 6, notice 5, error 3, fault 2).
int syslogPriority(LogLevel level);

struct LogRecord {
    std::string category;
    LogLevel level = LogLevel::notice;
    std::string message;

    friend bool operator==(const LogRecord&, const LogRecord&) = default;
};

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const LogRecord& record) = 0;
};

class Logger {
public:
    explicit Logger(std::string category) : category_(std::move(category)) {}

    const std::string& category() const { return category_; }

    void log(LogLevel level, std::string_view message) const;
    void debug(std::string_view message) const { log(LogLevel::debug, message); }
    void info(std::string_view message) const { log(LogLevel::info, message); }
    void notice(std::string_view message) const { log(LogLevel::notice, message); }
    void error(std::string_view message) const { log(LogLevel::error, message); }
    void fault(std::string_view message) const { log(LogLevel::fault, message); }

    // The process-wide sink. The sink is not owned; nullptr restores standard error.
    static LogSink& sink();
    static void setSink(LogSink* sink);

private:
    std::string category_;
};

// Installs a sink for its lifetime and then puts the previous one back (tests).
class ScopedLogSink {
public:
    explicit ScopedLogSink(LogSink& sink);
    ~ScopedLogSink();
    ScopedLogSink(const ScopedLogSink&) = delete;
    ScopedLogSink& operator=(const ScopedLogSink&) = delete;

private:
    LogSink* previous_;
};

}  // namespace tessary
