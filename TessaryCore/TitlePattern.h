#pragma once

// Title patterns of placement rules, run by ICU's regular expressions. Every search has a time limit,
// so a pattern that backtracks without end ("(a+)+$" against a long title) answers "no match"
// instead of freezing the main loop; ICU's engine keeps its backtracking stack on the heap, so a
// title of any length cannot overflow the call stack.

#include <string_view>

namespace tessary {

struct TitlePattern {
    // The engine's work limit per search, in ICU's steps: 20 is a few milliseconds of matching,
    // thousands of times what a rule needs on an ordinary title.
    static constexpr int timeLimitSteps = 20;

    // Whether the text compiles as a pattern.
    static bool compiles(std::string_view pattern);
    // Searches the title for the pattern anywhere, ignoring case. False when the pattern does not
    // compile or the search runs out of time.
    static bool searchIgnoringCase(std::string_view pattern, std::string_view title);
};

}  // namespace tessary
