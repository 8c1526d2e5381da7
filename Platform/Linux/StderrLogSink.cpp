#include "Platform/Linux/StderrLogSink.h"

#include <cstdlib>

#include "Platform/Linux/LaunchOrigin.h"

namespace tessary {

namespace {

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

void appendEscaped(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
}

}  // namespace

StderrLogSink::StderrLogSink()
    : StderrLogSink(stderr, LaunchOrigin::errorsGoToTheJournal(),
                    environmentSet("TESSARY_DEBUG") ? LogLevel::debug : LogLevel::info) {}

StderrLogSink::StderrLogSink(std::FILE* stream, bool journalPrefixes, LogLevel minimumLevel)
    : stream_(stream), journalPrefixes_(journalPrefixes), minimumLevel_(minimumLevel) {}

std::string StderrLogSink::format(const LogRecord& record) const {
    std::string line;
    line.reserve(record.category.size() + record.message.size() + 8);
    if (journalPrefixes_) {
        line += '<';
        line += std::to_string(syslogPriority(record.level));
        line += '>';
    }
    appendEscaped(line, record.category);
    line += ": ";
    appendEscaped(line, record.message);
    line += '\n';
    return line;
}

void StderrLogSink::write(const LogRecord& record) {
    if (record.level < minimumLevel_) return;
    const std::string line = format(record);
    // One write per line, so lines of different sources never interleave.
    std::fwrite(line.data(), 1, line.size(), stream_);
    std::fflush(stream_);
}

}  // namespace tessary
