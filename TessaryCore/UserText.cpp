#include "TessaryCore/UserText.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>

#include "TessaryCore/UnicodeText.h"

namespace tessary {

namespace {

struct UTextCloser {
    void operator()(UText* text) const { utext_close(text); }
};

// Calls `visit` with the end offset of each user-perceived character until it returns false.
template <typename Visit>
void forEachGraphemeEnd(const std::string& text, Visit visit) {
    if (text.empty() || text.size() > INT32_MAX) return;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, UTextCloser> utext(
        utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    if (U_FAILURE(status)) return;
    // Making a break iterator costs more than most texts take to walk: keep one per thread.
    thread_local std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) return;
    breaks->setText(utext.get(), status);
    if (U_FAILURE(status)) return;
    for (std::int32_t end = breaks->next(); end != icu::BreakIterator::DONE; end = breaks->next()) {
        if (!visit(static_cast<std::size_t>(end))) return;
    }
}

bool isWhitespace(std::int32_t c) { return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE); }

}  // namespace

std::size_t graphemeCount(std::string_view text) {
    // In ASCII every character stands alone but CR LF, which is one: no need for ICU's break
    // rules, whose data and code would stay in memory for good.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::size_t pairs = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2)) ++pairs;
        return text.size() - pairs;
    }
    std::size_t count = 0;
    forEachGraphemeEnd(validUTF8(text), [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string prefixOfGraphemes(std::string_view text, std::size_t count) {
    std::string valid = validUTF8(text);
    if (count == 0) return {};
    // A character is at least one byte, so a text of `count` bytes or fewer is never cut.
    if (valid.size() <= count) return valid;
    std::size_t seen = 0;
    std::size_t cut = valid.size();
    forEachGraphemeEnd(valid, [&](std::size_t end) {
        if (++seen < count) return true;
        cut = end;
        return false;
    });
    valid.resize(cut);
    return valid;
}

std::string trimmingWhitespaceAndNewlines(std::string_view text) { return trimmingCharacters(text, isWhitespace); }

}  // namespace tessary
