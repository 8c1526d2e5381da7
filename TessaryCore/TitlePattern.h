#pragma once

// Title patterns of placement rules, run by ICU's regular expressions. Every search has a time limit
// that only a runaway pattern reaches ("(a+)+$" against a long title): it then answers "no match"
// instead of freezing the main loop. ICU's engine keeps its backtracking stack on the heap, so a
// title of any length cannot overflow the call stack.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct TitlePattern {
    // The wall-clock time one search may take: far beyond what any ordinary pattern needs on a title
    // of tens of thousands of characters, short enough not to stall the desktop noticeably.
    static constexpr std::chrono::milliseconds timeLimit{100};

    // Whether the text compiles as a pattern.
    static bool compiles(std::string_view pattern);
    // Searches the title for the pattern anywhere, ignoring case. False when the pattern does not
    // compile or the search runs out of time.
    static bool searchIgnoringCase(std::string_view pattern, std::string_view title);
    // The patterns whose search ran out of time since the last call, each one only the first time it
    // did, so that the owner of the rules can log it once without logging from the model.
    static std::vector<std::string> takeTimedOutPatterns();
};

}  // namespace tessary
