#include "TessaryCore/JSONWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "TessaryCore/JSONText.h"

namespace tessary::json {

namespace {

const std::string failurePrefix = "The data could not be written: ";

// A binary value, which no document holds: nlohmann writes the whole value instead.
struct Unsupported {};

std::string hexByte(unsigned char byte) {
    constexpr const char* digits = "0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 0xF]};
}

// The text is built in a buffer that each thread keeps from one write to the next, then copied
// out at its final size: growing a fresh string for every document costs more (zero filling, and
// page faults on the large blocks) than writing the text.
class Writer {
public:
    explicit Writer(bool pretty) : pretty_(pretty) {
        if (out_.size() < initialSize) out_.resize(initialSize);
    }

    ~Writer() {
        // A buffer grown for an unusually large text is not kept.
        if (out_.size() > retainedSize) std::string().swap(out_);
    }

    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    std::string finish() const { return std::string(out_.data(), used_); }

    void value(const Json& v, std::size_t indent) {
        switch (v.type()) {
        case Json::value_t::object:
            object(*v.get_ptr<const Json::object_t*>(), indent);
            return;
        case Json::value_t::array:
            array(*v.get_ptr<const Json::array_t*>(), indent);
            return;
        case Json::value_t::string:
            string(*v.get_ptr<const Json::string_t*>());
            return;
        case Json::value_t::boolean:
            if (*v.get_ptr<const Json::boolean_t*>()) {
                put("true", 4);
            } else {
                put("false", 5);
            }
            return;
        case Json::value_t::number_integer:
            integer(*v.get_ptr<const Json::number_integer_t*>());
            return;
        case Json::value_t::number_unsigned:
            integer(*v.get_ptr<const Json::number_unsigned_t*>());
            return;
        case Json::value_t::number_float:
            floating(*v.get_ptr<const Json::number_float_t*>());
            return;
        case Json::value_t::null:
            put("null", 4);
            return;
        case Json::value_t::discarded:
            put("<discarded>", 11);
            return;
        case Json::value_t::binary:
            break;
        }
        throw Unsupported{};
    }

private:
    // Room for n more bytes; returns where they go.
    char* room(std::size_t n) {
        if (out_.size() - used_ < n) [[unlikely]] grow(n);
        return out_.data() + used_;
    }

    [[gnu::noinline]] void grow(std::size_t n) { out_.resize(std::max(out_.size() * 2, used_ + n)); }

    // A literal of at most 16 bytes (the room taken is fixed so that the copy is a fixed-size one).
    void put(const char* bytes, std::size_t n) {
        char* o = room(16);
        std::memcpy(o, bytes, n);
        used_ += n;
    }

    void put(char c) {
        *room(1) = c;
        ++used_;
    }

    // A line break and the indentation of the next line, in blocks of sixteen spaces.
    void newline(std::size_t indent) {
        static constexpr char spaces[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                            ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
        char* o = room(indent + 17);
        *o++ = '\n';
        for (std::size_t i = 0; i < indent; i += 16) std::memcpy(o + i, spaces, 16);
        used_ += indent + 1;
    }

    void object(const Json::object_t& members, std::size_t indent) {
        if (members.empty()) {
            put("{}", 2);
            return;
        }
        put('{');
        const std::size_t inner = indent + 2;
        bool first = true;
        for (const auto& [key, member] : members) {
            if (!first) put(',');
            first = false;
            if (pretty_) newline(inner);
            string(key);
            if (pretty_) {
                put(": ", 2);
            } else {
                put(':');
            }
            value(member, inner);
        }
        if (pretty_) newline(indent);
        put('}');
    }

    void array(const Json::array_t& elements, std::size_t indent) {
        if (elements.empty()) {
            put("[]", 2);
            return;
        }
        put('[');
        const std::size_t inner = indent + 2;
        bool first = true;
        for (const Json& element : elements) {
            if (!first) put(',');
            first = false;
            if (pretty_) newline(inner);
            value(element, inner);
        }
        if (pretty_) newline(indent);
        put(']');
    }

    void string(const std::string& s) {
        // Every byte escaped as \u00XX is the worst case; eight more for the word copies.
        char* o = room(s.size() * 6 + 10);
        *o++ = '"';
        const char* p = s.data();
        const char* const end = p + s.size();
        for (;;) {
            // Plain bytes, eight at a time while there are eight.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, sizeof word);
                if (text::hasSpecialByte(word)) break;
                std::memcpy(o, &word, sizeof word);
                o += 8;
                p += 8;
            }
            while (p != end && text::plainBytes[static_cast<unsigned char>(*p)]) *o++ = *p++;
            if (p == end) break;
            const auto c = static_cast<unsigned char>(*p);
            if (c >= 0x80) {
                const char* bad = nullptr;
                const std::size_t length = text::utf8Sequence(p, end, bad);
                if (length == 0) invalidUTF8(s, bad);
                for (std::size_t i = 0; i < length; ++i) *o++ = *p++;
                continue;
            }
            *o++ = '\\';
            switch (c) {
            case '"':
                *o++ = '"';
                break;
            case '\\':
                *o++ = '\\';
                break;
            case '\b':
                *o++ = 'b';
                break;
            case '\t':
                *o++ = 't';
                break;
            case '\n':
                *o++ = 'n';
                break;
            case '\f':
                *o++ = 'f';
                break;
            case '\r':
                *o++ = 'r';
                break;
            default: {
                constexpr const char* digits = "0123456789abcdef";
                *o++ = 'u';
                *o++ = '0';
                *o++ = '0';
                *o++ = digits[c >> 4];
                *o++ = digits[c & 0xF];
                break;
            }
            }
            ++p;
        }
        *o++ = '"';
        used_ = static_cast<std::size_t>(o - out_.data());
    }

    // nlohmann's message: the offending byte and its index in the string, or the last byte when
    // the string stops inside a sequence.
    [[noreturn]] static void invalidUTF8(const std::string& s, const char* bad) {
        const std::string error = failurePrefix + "[json.exception.type_error.316] ";
        const char* begin = s.data();
        if (bad == begin + s.size()) {
            throw EncodingError(error + "incomplete UTF-8 string; last byte: 0x" +
                                hexByte(static_cast<unsigned char>(s.back())));
        }
        throw EncodingError(error + "invalid UTF-8 byte at index " + std::to_string(bad - begin) + ": 0x" +
                            hexByte(static_cast<unsigned char>(*bad)));
    }

    template <typename Integer>
    void integer(Integer i) {
        char* o = room(24);
        used_ += static_cast<std::size_t>(std::to_chars(o, o + 24, i).ptr - o);
    }

    void floating(double d) {
        char* o = room(64);
        const double magnitude = std::fabs(d);
        // Whole numbers below 1e15 print as their digits and ".0" (nlohmann's form too: its
        // shortest digits of such a number are the number's own), without the general algorithm.
        if (magnitude < 1e15) {
            const auto whole = static_cast<std::int64_t>(magnitude);
            if (static_cast<double>(whole) == magnitude) {
                char* start = o;
                if (std::signbit(d)) *o++ = '-';
                o = std::to_chars(o, o + 24, whole).ptr;
                *o++ = '.';
                *o++ = '0';
                used_ += static_cast<std::size_t>(o - start);
                return;
            }
        }
        if (!std::isfinite(d)) {
            std::memcpy(o, "null", 4);
            used_ += 4;
            return;
        }
        // nlohmann's own formatting (Grisu2; fixed notation from 1e-4 up to 1e15, exponents
        // beyond), so that the text stays identical to what it writes.
        used_ += static_cast<std::size_t>(nlohmann::detail::to_chars(o, o + 64, d) - o);
    }

    static constexpr std::size_t initialSize = 64 * 1024;
    static constexpr std::size_t retainedSize = 4 * 1024 * 1024;
    static thread_local std::string out_;
    std::size_t used_ = 0;
    const bool pretty_;
};

thread_local std::string Writer::out_;

}  // namespace

std::string JSONWriter::write(const Json& value, Style style) {
    try {
        Writer writer(style == Style::pretty);
        writer.value(value, 0);
        return writer.finish();
    } catch (const Unsupported&) {
    }
    try {
        return value.dump(style == Style::pretty ? 2 : -1, ' ', false, Json::error_handler_t::strict);
    } catch (const Json::type_error& error) {
        throw EncodingError(failurePrefix + error.what());
    }
}

}  // namespace tessary::json
