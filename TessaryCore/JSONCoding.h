#pragma once

// The one place where documents meet nlohmann-json. Its defaults are too lenient for stored
// documents (8.7 would read as the integer 8, true as 1) and too trusting when writing (a NaN
// becomes null and the document no longer loads), so every document decodes and encodes its
// values through these helpers.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "TessaryCore/Geometry.h"

namespace tessary::json {

// nlohmann::json keeps object keys in a std::map, so every document comes out with sorted keys.
using Json = nlohmann::json;

// A document or value that does not have the expected shape. The message is the user-visible text.
class DecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that cannot be written, such as a non-finite number: refused instead of written as null.
class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses text into the value nlohmann::json::parse gives (JSONReader); a syntax error is a
// DecodingError, and so is nesting deeper than 512 arrays and objects.
Json parse(std::string_view text);
// Pretty-printed with two-space indentation and sorted keys; throws EncodingError when the value
// holds text that is not valid UTF-8 (nothing half-written reaches the caller).
std::string dumpPretty(const Json& value);
// Compact form, for synchronised values and messages.
std::string dumpCompact(const Json& value);

// --- Scalars -----------------------------------------------------------------------------------
// Each throws DecodingError when the value is not of the type; `what` names the value in the message.

// A JSON integer, or a number with an exactly integral value, within the signed 64-bit range.
std::int64_t asInt64(const Json& value, std::string_view what);
// Any JSON number; integers are accepted.
double asDouble(const Json& value, std::string_view what);
bool asBool(const Json& value, std::string_view what);
std::string asString(const Json& value, std::string_view what);
const Json& asArray(const Json& value, std::string_view what);
const Json& asObject(const Json& value, std::string_view what);

// A finite double as JSON; non-finite numbers throw EncodingError.
Json fromDouble(double value, std::string_view what);

// --- Keyed access ------------------------------------------------------------------------------

// The value at a required key of an object; a missing key (or a non-object) is a DecodingError.
const Json& require(const Json& object, std::string_view key);
// The value at an optional key: nothing when the key is missing or holds null.
const Json* optional(const Json& object, std::string_view key);

std::int64_t requireInt64(const Json& object, std::string_view key);
double requireDouble(const Json& object, std::string_view key);
bool requireBool(const Json& object, std::string_view key);
std::string requireString(const Json& object, std::string_view key);

std::optional<std::int64_t> optionalInt64(const Json& object, std::string_view key);
std::optional<double> optionalDouble(const Json& object, std::string_view key);
std::optional<bool> optionalBool(const Json& object, std::string_view key);
std::optional<std::string> optionalString(const Json& object, std::string_view key);

std::vector<std::int64_t> asInt64Array(const Json& value, std::string_view what);
std::vector<double> asDoubleArray(const Json& value, std::string_view what);
std::vector<std::string> asStringArray(const Json& value, std::string_view what);
Json fromDoubleArray(const std::vector<double>& values, std::string_view what);

// --- Lists of the documents' own values ----------------------------------------------------------

// An array of values that each write themselves with toJSON().
template <typename T>
Json encodeArray(const std::vector<T>& items) {
    Json out = Json::array();
    for (const T& item : items) out.push_back(item.toJSON());
    return out;
}

// The array at a required key, each element read by T::fromJSON.
template <typename T>
std::vector<T> requireArray(const Json& object, std::string_view key) {
    const Json& list = asArray(require(object, key), key);
    std::vector<T> out;
    out.reserve(list.size());
    for (const Json& element : list) out.push_back(T::fromJSON(element));
    return out;
}

// --- Geometry, in the platform's standard coding ------------------------------------------------
// Point [x, y], size [width, height], rectangle [[x, y], [width, height]].

Json encodePoint(Point p);
Json encodeSize(Size s);
Json encodeRect(const Rect& r);
Point decodePoint(const Json& value);
Size decodeSize(const Json& value);
Rect decodeRect(const Json& value);

}  // namespace tessary::json
