#include "Tessary/integrations/URLText.h"

#include "TessaryCore/UnicodeText.h"

namespace tessary {

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> schemeOf(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isLetter(text[0])) return std::nullopt;
    for (char c : text.substr(1, colon - 1)) {
        if (!isLetter(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    return std::string(text.substr(0, colon));
}

std::optional<std::string> hostOf(std::string_view hierarchical) {
    if (!hierarchical.starts_with("//")) return std::nullopt;
    std::string_view authority = hierarchical.substr(2);
    authority = authority.substr(0, authority.find('/'));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (authority.starts_with('[')) {
        authority = authority.substr(0, authority.find(']') + 1);
    } else if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
        authority = authority.substr(0, colon);
    }
    if (authority.empty()) return std::nullopt;
    return percentDecoded(authority);
}

std::vector<URLQueryItem> itemsOf(std::string_view query) {
    std::vector<URLQueryItem> items;
    if (query.empty()) return items;
    for (;;) {
        const auto ampersand = query.find('&');
        const std::string_view piece = query.substr(0, ampersand);
        const auto equals = piece.find('=');
        if (equals == std::string_view::npos) {
            items.push_back({percentDecoded(piece), std::nullopt});
        } else {
            items.push_back({percentDecoded(piece.substr(0, equals)), percentDecoded(piece.substr(equals + 1))});
        }
        if (ampersand == std::string_view::npos) break;
        query.remove_prefix(ampersand + 1);
    }
    return items;
}

}  // namespace

std::string percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        decoded.push_back(text[i]);
    }
    return validUTF8(decoded);
}

URLText URLText::parse(std::string_view text) {
    URLText url;
    url.scheme = schemeOf(text);
    std::string_view rest = url.scheme ? text.substr(url.scheme->size() + 1) : text;
    rest = rest.substr(0, rest.find('#'));
    const auto question = rest.find('?');
    url.host = hostOf(rest.substr(0, question));
    if (question != std::string_view::npos) url.queryItems = itemsOf(rest.substr(question + 1));
    return url;
}

}  // namespace tessary
