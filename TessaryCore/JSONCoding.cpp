#include "TessaryCore/JSONCoding.h"

#include <cmath>
#include <limits>

#include "TessaryCore/JSONReader.h"
#include "TessaryCore/JSONWriter.h"

namespace tessary::json {

namespace {

std::string named(std::string_view what) { return what.empty() ? std::string("value") : std::string(what); }

[[noreturn]] void typeMismatch(std::string_view what, std::string_view expected, const Json& value) {
    throw DecodingError("Expected " + std::string(expected) + " for " + named(what) + " but found " +
                        std::string(value.type_name()) + ".");
}

}  // namespace

Json parse(std::string_view text) { return JSONReader::parse(text); }

std::string dumpPretty(const Json& value) { return JSONWriter::write(value, JSONWriter::Style::pretty); }

std::string dumpCompact(const Json& value) { return JSONWriter::write(value, JSONWriter::Style::compact); }

std::int64_t asInt64(const Json& value, std::string_view what) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                throw DecodingError("Number for " + named(what) + " does not fit in a signed 64-bit integer.");
            }
            return static_cast<std::int64_t>(u);
        }
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        // 2^63 is exactly representable; anything at or beyond it does not fit.
        constexpr double limit = 9223372036854775808.0;
        if (std::isfinite(d) && d == std::trunc(d) && d >= -limit && d < limit) {
            return static_cast<std::int64_t>(d);
        }
        throw DecodingError("Number for " + named(what) + " is not a whole number that fits in 64 bits.");
    }
    typeMismatch(what, "an integer", value);
}

double asDouble(const Json& value, std::string_view what) {
    if (value.is_number()) return value.get<double>();
    typeMismatch(what, "a number", value);
}

bool asBool(const Json& value, std::string_view what) {
    if (value.is_boolean()) return value.get<bool>();
    typeMismatch(what, "a Boolean", value);
}

std::string asString(const Json& value, std::string_view what) {
    if (value.is_string()) return value.get<std::string>();
    typeMismatch(what, "a string", value);
}

const Json& asArray(const Json& value, std::string_view what) {
    if (!value.is_array()) typeMismatch(what, "an array", value);
    return value;
}

const Json& asObject(const Json& value, std::string_view what) {
    if (!value.is_object()) typeMismatch(what, "an object", value);
    return value;
}

Json fromDouble(double value, std::string_view what) {
    if (!std::isfinite(value)) {
        throw EncodingError("Unable to encode the non-finite number " + std::to_string(value) + " for " +
                            named(what) + ".");
    }
    return Json(value);
}

const Json& require(const Json& object, std::string_view key) {
    asObject(object, "");
    const auto it = object.find(key);
    if (it == object.end()) {
        throw DecodingError("No value associated with key \"" + std::string(key) + "\".");
    }
    return *it;
}

const Json* optional(const Json& object, std::string_view key) {
    asObject(object, "");
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return nullptr;
    return &*it;
}

std::int64_t requireInt64(const Json& object, std::string_view key) { return asInt64(require(object, key), key); }
double requireDouble(const Json& object, std::string_view key) { return asDouble(require(object, key), key); }
bool requireBool(const Json& object, std::string_view key) { return asBool(require(object, key), key); }
std::string requireString(const Json& object, std::string_view key) { return asString(require(object, key), key); }

std::optional<std::int64_t> optionalInt64(const Json& object, std::string_view key) {
    const Json* v = optional(object, key);
    if (!v) return std::nullopt;
    return asInt64(*v, key);
}

std::optional<double> optionalDouble(const Json& object, std::string_view key) {
    const Json* v = optional(object, key);
    if (!v) return std::nullopt;
    return asDouble(*v, key);
}

std::optional<bool> optionalBool(const Json& object, std::string_view key) {
    const Json* v = optional(object, key);
    if (!v) return std::nullopt;
    return asBool(*v, key);
}

std::optional<std::string> optionalString(const Json& object, std::string_view key) {
    const Json* v = optional(object, key);
    if (!v) return std::nullopt;
    return asString(*v, key);
}

std::vector<std::int64_t> asInt64Array(const Json& value, std::string_view what) {
    std::vector<std::int64_t> out;
    out.reserve(asArray(value, what).size());
    for (const Json& element : value) out.push_back(asInt64(element, what));
    return out;
}

std::vector<double> asDoubleArray(const Json& value, std::string_view what) {
    std::vector<double> out;
    out.reserve(asArray(value, what).size());
    for (const Json& element : value) out.push_back(asDouble(element, what));
    return out;
}

std::vector<std::string> asStringArray(const Json& value, std::string_view what) {
    std::vector<std::string> out;
    out.reserve(asArray(value, what).size());
    for (const Json& element : value) out.push_back(asString(element, what));
    return out;
}

Json fromDoubleArray(const std::vector<double>& values, std::string_view what) {
    Json out = Json::array();
    for (double v : values) out.push_back(fromDouble(v, what));
    return out;
}

Json encodePoint(Point p) { return Json::array({fromDouble(p.x, "x"), fromDouble(p.y, "y")}); }

Json encodeSize(Size s) { return Json::array({fromDouble(s.width, "width"), fromDouble(s.height, "height")}); }

Json encodeRect(const Rect& r) { return Json::array({encodePoint(r.origin), encodeSize(r.size)}); }

namespace {
std::pair<double, double> decodePair(const Json& value, std::string_view what) {
    asArray(value, what);
    if (value.size() != 2) {
        throw DecodingError("Expected two numbers for " + named(what) + " but found " +
                            std::to_string(value.size()) + ".");
    }
    return {asDouble(value[0], what), asDouble(value[1], what)};
}
}  // namespace

Point decodePoint(const Json& value) {
    const auto [x, y] = decodePair(value, "point");
    return Point{x, y};
}

Size decodeSize(const Json& value) {
    const auto [w, h] = decodePair(value, "size");
    return Size{w, h};
}

Rect decodeRect(const Json& value) {
    asArray(value, "rectangle");
    if (value.size() != 2) {
        throw DecodingError("Expected an origin and a size for rectangle but found " + std::to_string(value.size()) +
                            " elements.");
    }
    return Rect(decodePoint(value[0]), decodeSize(value[1]));
}

}  // namespace tessary::json
