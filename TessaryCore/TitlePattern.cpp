#include "TessaryCore/TitlePattern.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <unordered_map>

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

}  // namespace

bool TitlePattern::compiles(std::string_view pattern) { return compiled(pattern) != nullptr; }

bool TitlePattern::searchIgnoringCase(std::string_view pattern, std::string_view title) {
    const icu::RegexPattern* expression = compiled(pattern);
    if (!expression) return false;
    const icu::UnicodeString input = unicode(title);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(expression->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return false;
    matcher->setTimeLimit(timeLimitSteps, status);
    if (U_FAILURE(status)) return false;
    const bool found = matcher->find(status);
    // A time-out or a stack overflow in the engine is no match.
    return U_SUCCESS(status) && found;
}

}  // namespace tessary
