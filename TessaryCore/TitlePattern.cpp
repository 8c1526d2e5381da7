#include "TessaryCore/TitlePattern.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <unordered_map>
#include <unordered_set>

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace tessary {

namespace {

icu::UnicodeString unicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX))));
}

// Compiled patterns by their text (null for one that does not compile). Rules are few and are
// evaluated for every new window, so compiling each once is worth a small cache; it is emptied
// when it grows past its bound, which only a user typing many patterns reaches.
const icu::RegexPattern* compiled(std::string_view text) {
    constexpr std::size_t capacity = 256;
    thread_local std::unordered_map<std::string, std::unique_ptr<icu::RegexPattern>> cache;
    const std::string key(text);
    if (const auto it = cache.find(key); it != cache.end()) return it->second.get();
    if (cache.size() >= capacity) cache.clear();
    UParseError where{};
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> pattern(
        icu::RegexPattern::compile(unicode(text), UREGEX_CASE_INSENSITIVE, where, status));
    if (U_FAILURE(status)) pattern.reset();
    return cache.emplace(key, std::move(pattern)).first->second.get();
}

// Patterns that timed out, told once each: those not yet taken, and every one ever reported (bounded
// like the cache; past the bound a pattern may be told again).
thread_local std::vector<std::string> timedOutNotTaken;
thread_local std::unordered_set<std::string> timedOutReported;

void noteTimeout(std::string_view pattern) {
    constexpr std::size_t capacity = 256;
    std::string key(pattern);
    if (timedOutReported.contains(key)) return;
    if (timedOutReported.size() >= capacity) timedOutReported.clear();
    timedOutReported.insert(key);
    timedOutNotTaken.push_back(std::move(key));
}

// Asked by the engine every few thousand steps of a search; false ends it.
UBool withinDeadline(const void* context, int32_t) {
    const auto& deadline = *static_cast<const std::chrono::steady_clock::time_point*>(context);
    return std::chrono::steady_clock::now() < deadline;
}

}  // namespace

bool TitlePattern::compiles(std::string_view pattern) { return compiled(pattern) != nullptr; }

bool TitlePattern::searchIgnoringCase(std::string_view pattern, std::string_view title) {
    const icu::RegexPattern* expression = compiled(pattern);
    if (!expression) return false;
    const icu::UnicodeString input = unicode(title);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(expression->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return false;
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    matcher->setMatchCallback(withinDeadline, &deadline, status);
    if (U_FAILURE(status)) return false;
    const bool found = matcher->find(status);
    if (status == U_REGEX_STOPPED_BY_CALLER) noteTimeout(pattern);
    // A time-out or a stack overflow in the engine is no match.
    return U_SUCCESS(status) && found;
}

std::vector<std::string> TitlePattern::takeTimedOutPatterns() { return std::exchange(timedOutNotTaken, {}); }

}  // namespace tessary
