#include "TessaryCore/UnicodeText.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace tessary {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// ICU counts in 32 bits; nothing the model holds comes near that, and more is cut off, not wrapped.
std::int32_t length32(std::string_view text) {
    return static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
}

icu::UnicodeString unicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), length32(text)));
}

// The length of the well-formed sequence at `i`, or the length of the maximal ill-formed subpart
// there as a negative number.
int sequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return -1;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= text.size()) return -k;
        const unsigned char next = byte(i + k);
        const unsigned char min = k == 1 ? low : 0x80;
        const unsigned char max = k == 1 ? high : 0xBF;
        if (next < min || next > max) return -k;
    }
    return length;
}

icu::UnicodeString nfc(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    const icu::UnicodeString source = unicode(text);
    if (U_FAILURE(status)) return source;
    icu::UnicodeString normalized = normalizer->normalize(source, status);
    return U_FAILURE(status) ? source : normalized;
}

// One collator per thread, made again when the default locale changes.
icu::Collator* caseInsensitiveCollator() {
    thread_local std::unique_ptr<icu::Collator> collator;
    thread_local std::string localeName;
    // A process in the C locale gets ICU's "en_US_POSIX", whose order tells capitals from small
    // letters at the first level; the root order is what a user of that process expects.
    const icu::Locale& current = icu::Locale::getDefault();
    const icu::Locale& locale = std::string_view(current.getVariant()) == "POSIX" ? icu::Locale::getRoot() : current;
    if (!collator || localeName != locale.getName()) {
        UErrorCode status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status)) {
            collator.reset();
            return nullptr;
        }
        // Secondary strength: base letters and accents count, case does not.
        collator->setStrength(icu::Collator::SECONDARY);
        collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
        localeName = locale.getName();
    }
    return collator.get();
}

bool isSpaceOrTab(UChar32 c) {
    // The only space separator in ASCII is the space: ICU's character properties (whose lookup
    // maps pages of its library for good) are asked only beyond it.
    if (c < 0x80) return c == 0x09 || c == 0x20;
    return u_charType(c) == U_SPACE_SEPARATOR;
}

}  // namespace

std::string validUTF8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const int length = sequenceAt(text, i);
        if (length > 0) {
            out.append(text.substr(i, static_cast<std::size_t>(length)));
            i += static_cast<std::size_t>(length);
        } else {
            out.append(replacementCharacter);
            i += static_cast<std::size_t>(-length);
        }
    }
    return out;
}

bool isValidUTF8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const int length = sequenceAt(text, i);
        if (length < 0) return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return nfc(a) == nfc(b);
}

bool localizedCaseInsensitiveEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    icu::Collator* collator = caseInsensitiveCollator();
    const icu::UnicodeString left = unicode(a);
    const icu::UnicodeString right = unicode(b);
    if (!collator) return left.caseCompare(right, U_FOLD_CASE_DEFAULT) == 0;
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = collator->compare(left, right, status);
    return U_SUCCESS(status) && result == UCOL_EQUAL;
}

std::string trimmingCharacters(std::string_view text, bool (*trimmed)(std::int32_t)) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::int32_t length = length32(text);
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c = 0;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !trimmed(c)) break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(bytes, start, previous, c);
        if (c < 0 || !trimmed(c)) break;
        end = previous;
    }
    return std::string(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::string trimmingSpacesAndTabs(std::string_view text) { return trimmingCharacters(text, isSpaceOrTab); }

}  // namespace tessary
