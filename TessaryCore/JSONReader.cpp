#include "TessaryCore/JSONReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include <locale.h>

#include "TessaryCore/JSONText.h"

namespace tessary::json {

namespace {

struct Malformed {};
struct TooDeep {};

[[noreturn]] void malformed() { throw Malformed{}; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// mantissa * 10 + the digit, or false when that leaves 64 bits.
bool appendDigit(std::uint64_t& mantissa, char digit) {
    return !__builtin_mul_overflow(mantissa, 10u, &mantissa) &&
           !__builtin_add_overflow(mantissa, static_cast<unsigned>(digit - '0'), &mantissa);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void appendUTF8(std::string& out, unsigned codepoint) {
    char bytes[4];
    std::size_t n = 0;
    if (codepoint < 0x80) {
        bytes[n++] = static_cast<char>(codepoint);
    } else if (codepoint < 0x800) {
        bytes[n++] = static_cast<char>(0xC0 | (codepoint >> 6));
        bytes[n++] = static_cast<char>(0x80 | (codepoint & 0x3F));
    } else if (codepoint < 0x10000) {
        bytes[n++] = static_cast<char>(0xE0 | (codepoint >> 12));
        bytes[n++] = static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (codepoint & 0x3F));
    } else {
        bytes[n++] = static_cast<char>(0xF0 | (codepoint >> 18));
        bytes[n++] = static_cast<char>(0x80 | ((codepoint >> 12) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (codepoint & 0x3F));
    }
    out.append(bytes, n);
}

// A decimal number that std::from_chars reports out of range, by strtod as nlohmann reads it:
// zero (with its sign) when it underflows, infinity when it overflows. In the "C" locale, whatever
// the program's locale says a decimal point is.
double strtodInCLocale(const char* begin, const char* end) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string copy(begin, end);
    return ::strtod_l(copy.c_str(), nullptr, cLocale);
}

class Reader {
public:
    Reader(const char* begin, const char* end) : p_(begin), end_(end) {}

    Json document() {
        // A byte order mark is skipped; a partial one is an error.
        if (p_ != end_ && static_cast<unsigned char>(*p_) == 0xEF) {
            if (end_ - p_ < 3 || static_cast<unsigned char>(p_[1]) != 0xBB ||
                static_cast<unsigned char>(p_[2]) != 0xBF) {
                malformed();
            }
            p_ += 3;
        }
        skipWhitespace();
        Json result = value();
        skipWhitespace();
        // nlohmann takes a NUL byte for the end of the text and ignores what follows it.
        if (p_ != end_ && *p_ != '\0') malformed();
        return result;
    }

private:
    void skipWhitespace() {
        const char* p = p_;
        while (p != end_) {
            const char c = *p;
            if (c == ' ') {
                // Indentation comes in runs of spaces: eight at a time.
                constexpr std::uint64_t spaces = 0x2020202020202020ull;
                std::uint64_t word;
                ++p;
                while (end_ - p >= 8 && (std::memcpy(&word, p, sizeof word), word == spaces)) p += 8;
            } else if (c == '\n' || c == '\r' || c == '\t') {
                ++p;
            } else {
                break;
            }
        }
        p_ = p;
    }

    void expect(char c) {
        if (p_ == end_ || *p_ != c) malformed();
        ++p_;
    }

    void enter() {
        if (++depth_ > JSONReader::maximumDepth) throw TooDeep{};
    }

    Json value() {
        if (p_ == end_) malformed();
        switch (*p_) {
        case '{':
            return object();
        case '[':
            return array();
        case '"': {
            ++p_;
            const std::string_view content = stringContent(escaped_);
            if (content.data() == escaped_.data()) return Json(std::move(escaped_));
            return Json(Json::string_t(content));
        }
        case 't':
            literal("true");
            return Json(true);
        case 'f':
            literal("false");
            return Json(false);
        case 'n':
            literal("null");
            return Json(nullptr);
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            return number();
        default:
            malformed();
        }
    }

    template <std::size_t n>
    void literal(const char (&word)[n]) {
        constexpr std::size_t length = n - 1;
        if (static_cast<std::size_t>(end_ - p_) < length) malformed();
        for (std::size_t i = 1; i < length; ++i) {
            if (p_[i] != word[i]) malformed();
        }
        p_ += length;
    }

    Json object() {
        enter();
        ++p_;
        Json result(Json::value_t::object);
        auto& members = result.get_ref<Json::object_t&>();
        skipWhitespace();
        if (p_ != end_ && *p_ == '}') {
            ++p_;
            --depth_;
            return result;
        }
        std::string keyBuffer;
        for (;;) {
            expect('"');
            const std::string_view key = stringContent(keyBuffer);
            skipWhitespace();
            expect(':');
            skipWhitespace();
            Json member = value();
            // Stored documents have sorted keys, so the hint at the end usually holds and the
            // insertion takes one comparison. A repeated key takes the later value, as with nlohmann.
            const std::size_t count = members.size();
            const auto at = members.try_emplace(members.end(), std::string(key), std::move(member));
            if (members.size() == count) at->second = std::move(member);
            skipWhitespace();
            if (p_ == end_) malformed();
            if (*p_ == ',') {
                ++p_;
                skipWhitespace();
                continue;
            }
            expect('}');
            break;
        }
        --depth_;
        return result;
    }

    Json array() {
        enter();
        ++p_;
        skipWhitespace();
        if (p_ != end_ && *p_ == ']') {
            ++p_;
            --depth_;
            return Json(Json::value_t::array);
        }
        // Elements gather on a stack shared by every level, so that each array is allocated once
        // at its final size.
        const std::size_t base = elements_.size();
        for (;;) {
            elements_.push_back(value());
            skipWhitespace();
            if (p_ == end_) malformed();
            if (*p_ == ',') {
                ++p_;
                skipWhitespace();
                continue;
            }
            expect(']');
            break;
        }
        Json result(Json::value_t::array);
        const auto first = elements_.begin() + static_cast<std::ptrdiff_t>(base);
        result.get_ref<Json::array_t&>().assign(std::make_move_iterator(first),
                                                std::make_move_iterator(elements_.end()));
        elements_.erase(first, elements_.end());
        --depth_;
        return result;
    }

    // The content of a string whose opening quote is behind p_: a view of the text itself when it
    // holds no escape, otherwise of `buffer`, which receives the decoded content.
    std::string_view stringContent(std::string& buffer) {
        const char* const start = p_;
        const char* p = start;
        for (;;) {
            p = text::skipPlain(p, end_);
            if (p == end_) malformed();
            const char c = *p;
            if (c == '"') {
                p_ = p + 1;
                return std::string_view(start, static_cast<std::size_t>(p - start));
            }
            if (c == '\\') break;
            if (static_cast<unsigned char>(c) < 0x20) malformed();
            p += utf8(p);
        }
        buffer.assign(start, p);
        p_ = p;
        for (;;) {
            if (*p_ == '\\') {
                escape(buffer);
            } else {
                const char* run = p_;
                p = text::skipPlain(p_, end_);
                if (p == end_) malformed();
                const char c = *p;
                if (static_cast<unsigned char>(c) >= 0x80) {
                    p += utf8(p);
                } else if (c == '"') {
                    buffer.append(run, p);
                    p_ = p + 1;
                    return buffer;
                } else if (c != '\\') {
                    malformed();
                }
                buffer.append(run, p);
                p_ = p;
            }
            if (p_ == end_) malformed();
        }
    }

    std::size_t utf8(const char* p) const {
        const char* bad = nullptr;
        const std::size_t length = text::utf8Sequence(p, end_, bad);
        if (length == 0) malformed();
        return length;
    }

    unsigned hex4() {
        if (end_ - p_ < 4) malformed();
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(p_[i]);
            if (digit < 0) malformed();
            value = value << 4 | static_cast<unsigned>(digit);
        }
        p_ += 4;
        return value;
    }

    // An escape sequence at p_, decoded onto `out`.
    void escape(std::string& out) {
        ++p_;
        if (p_ == end_) malformed();
        const char c = *p_++;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return;
        case 'b':
            out += '\b';
            return;
        case 'f':
            out += '\f';
            return;
        case 'n':
            out += '\n';
            return;
        case 'r':
            out += '\r';
            return;
        case 't':
            out += '\t';
            return;
        case 'u': {
            unsigned codepoint = hex4();
            if (codepoint >= 0xD800 && codepoint <= 0xDBFF) {
                // A high surrogate must be followed by an escaped low one; lone halves are errors.
                if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') malformed();
                p_ += 2;
                const unsigned low = hex4();
                if (low < 0xDC00 || low > 0xDFFF) malformed();
                codepoint = 0x10000 + ((codepoint - 0xD800) << 10) + (low - 0xDC00);
            } else if (codepoint >= 0xDC00 && codepoint <= 0xDFFF) {
                malformed();
            }
            appendUTF8(out, codepoint);
            return;
        }
        default:
            malformed();
        }
    }

    // Past the digits at p, of which there must be one at least.
    const char* digits(const char* p) const {
        if (p == end_ || !isDigit(*p)) malformed();
        while (p != end_ && isDigit(*p)) ++p;
        return p;
    }

    Json number() {
        const char* const start = p_;
        const char* p = start;
        const bool negative = *p == '-';
        if (negative) ++p;
        if (p == end_) malformed();
        // The digits without the point as an integer, while they fit in 64 bits.
        std::uint64_t mantissa = 0;
        bool fits = true;
        if (*p == '0') {
            ++p;
        } else if (isDigit(*p)) {
            for (; p != end_ && isDigit(*p); ++p) fits = fits && appendDigit(mantissa, *p);
        } else {
            malformed();
        }
        bool integral = true;
        int exponent = 0;
        if (p != end_ && *p == '.') {
            ++p;
            const char* fraction = p;
            p = digits(p);
            for (const char* d = fraction; d != p && fits; ++d) fits = appendDigit(mantissa, *d);
            exponent = -static_cast<int>(std::min<std::ptrdiff_t>(p - fraction, 1000));
            integral = false;
        }
        if (p != end_ && (*p == 'e' || *p == 'E')) {
            ++p;
            const bool negativeExponent = p != end_ && *p == '-';
            if (p != end_ && (*p == '+' || *p == '-')) ++p;
            const char* first = p;
            p = digits(p);
            int written = 0;
            for (const char* d = first; d != p && written < 100000; ++d) written = written * 10 + (*d - '0');
            exponent += negativeExponent ? -written : written;
            integral = false;
        }
        p_ = p;
        // Integers take the first type they fit: unsigned without a sign, signed with one, and a
        // double beyond 64 bits.
        if (integral && fits) {
            if (!negative) return Json(mantissa);
            constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
            if (mantissa <= limit) return Json(static_cast<std::int64_t>(0 - mantissa));
        }
        // An exact mantissa and power of ten make one correctly rounded operation (1.5, 0.25, 8.0).
        constexpr std::uint64_t exactMantissa = std::uint64_t{1} << 53;
        if (fits && mantissa <= exactMantissa && exponent >= -22 && exponent <= 22) {
            static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
            double result = static_cast<double>(mantissa);
            result = exponent < 0 ? result / powers[-exponent] : result * powers[exponent];
            return Json(negative ? -result : result);
        }
        double result = 0;
        const auto [end, error] = std::from_chars(start, p, result);
        if (error == std::errc::result_out_of_range) {
            result = strtodInCLocale(start, p);
        } else if (error != std::errc() || end != p) {
            malformed();
        }
        // nlohmann refuses a number beyond the range of a double.
        if (!std::isfinite(result)) malformed();
        return Json(result);
    }

    const char* p_;
    const char* end_;
    int depth_ = 0;
    std::vector<Json> elements_;
    // The decoded content of a string value that holds escapes.
    std::string escaped_;
};

}  // namespace

JSONReader::Verdict JSONReader::read(std::string_view text, Json& value) {
    try {
        value = Reader(text.data(), text.data() + text.size()).document();
        return Verdict::accepted;
    } catch (const Malformed&) {
        return Verdict::malformed;
    } catch (const TooDeep&) {
        return Verdict::tooDeep;
    }
}

Json JSONReader::parse(std::string_view text) {
    static const std::string prefix = "The data couldn't be read because it isn't in the correct format. (";
    Json value;
    switch (read(text, value)) {
    case Verdict::accepted:
        return value;
    case Verdict::tooDeep:
        throw DecodingError(prefix + "arrays and objects are nested deeper than " + std::to_string(maximumDepth) +
                            " levels)");
    case Verdict::malformed:
        break;
    }
    // Refusals are rare: nlohmann reads the text again for the detail of its message.
    try {
        const Json accepted = Json::parse(text.begin(), text.end());
    } catch (const Json::exception& error) {
        throw DecodingError(prefix + error.what() + ")");
    }
    throw DecodingError(prefix + "syntax error)");
}

}  // namespace tessary::json
