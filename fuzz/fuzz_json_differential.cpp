#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/JSONReader.h"
#include "TessaryCore/JSONWriter.h"

// Arbitrary bytes through JSONReader and nlohmann's parse, which must agree on refusal and on the
// value (types and bits of doubles included), except that the reader refuses nesting beyond its
// limit; then every value, and values made of the raw bytes (invalid UTF-8, odd doubles), through
// JSONWriter and nlohmann's dump, which must agree byte for byte, refusals and messages included.

namespace {

using namespace tessary::json;

[[noreturn]] void differs(const char* what) {
    std::fprintf(stderr, "JSONReader/JSONWriter and nlohmann differ: %s\n", what);
    std::abort();
}

bool identical(const Json& a, const Json& b) {
    if (a.type() != b.type()) return false;
    switch (a.type()) {
    case Json::value_t::object: {
        const auto& x = a.get_ref<const Json::object_t&>();
        const auto& y = b.get_ref<const Json::object_t&>();
        if (x.size() != y.size()) return false;
        for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j) {
            if (i->first != j->first || !identical(i->second, j->second)) return false;
        }
        return true;
    }
    case Json::value_t::array: {
        const auto& x = a.get_ref<const Json::array_t&>();
        const auto& y = b.get_ref<const Json::array_t&>();
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!identical(x[i], y[i])) return false;
        }
        return true;
    }
    case Json::value_t::number_float:
        return std::bit_cast<std::uint64_t>(a.get<double>()) == std::bit_cast<std::uint64_t>(b.get<double>());
    default:
        return a == b;
    }
}

int depth(const Json& value) {
    int deepest = 0;
    if (value.is_structured()) {
        for (const Json& element : value) deepest = std::max(deepest, depth(element));
        return deepest + 1;
    }
    return 0;
}

// The text, or the refusal's message.
std::string ours(const Json& value, JSONWriter::Style style) {
    try {
        return "text: " + JSONWriter::write(value, style);
    } catch (const EncodingError& error) {
        return std::string("refused: ") + error.what();
    }
}

std::string theirs(const Json& value, JSONWriter::Style style) {
    try {
        return "text: " + value.dump(style == JSONWriter::Style::pretty ? 2 : -1, ' ', false,
                                     Json::error_handler_t::strict);
    } catch (const Json::type_error& error) {
        return std::string("refused: The data could not be written: ") + error.what();
    }
}

void compareWriting(const Json& value) {
    for (const auto style : {JSONWriter::Style::pretty, JSONWriter::Style::compact}) {
        if (ours(value, style) != theirs(value, style)) differs("writing");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    Json read;
    const JSONReader::Verdict verdict = JSONReader::read(text, read);
    std::optional<Json> parsed;
    try {
        parsed = Json::parse(text.begin(), text.end());
    } catch (const Json::exception&) {
    }
    switch (verdict) {
    case JSONReader::Verdict::accepted:
        if (!parsed) differs("accepted what nlohmann refuses");
        if (!identical(read, *parsed)) differs("a different value");
        break;
    case JSONReader::Verdict::tooDeep:
        if (parsed && depth(*parsed) <= JSONReader::maximumDepth) differs("too deep, but it is not");
        break;
    case JSONReader::Verdict::malformed:
        if (parsed) differs("refused what nlohmann accepts");
        break;
    }
    if (parsed) compareWriting(*parsed);

    // The raw bytes as a string and a key, and read as doubles and integers.
    const std::string raw(text);
    compareWriting(Json(raw));
    compareWriting(Json::object({{raw, Json::array({raw, 1})}, {"k", raw}}));
    Json numbers = Json::array();
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        std::uint64_t bits;
        std::memcpy(&bits, data + at, sizeof bits);
        numbers.push_back(std::bit_cast<double>(bits));
        numbers.push_back(static_cast<double>(static_cast<std::int64_t>(bits) >> (bits & 63)));
        numbers.push_back(static_cast<std::int64_t>(bits));
        numbers.push_back(bits);
    }
    compareWriting(numbers);
    return 0;
}
