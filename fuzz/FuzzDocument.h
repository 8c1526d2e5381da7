#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "TessaryCore/JSONDocumentStore.h"

// Decodes text as a document; whatever decodes must write and read back unchanged, since a
// document that loads but cannot be saved would be stuck. One a newer version wrote is held as
// this version's (so a copy of it synchronised elsewhere never claims the newer version). Then
// hands it to `exercise`.
template <typename Document>
void fuzzDocumentText(std::string_view text, const std::function<void(Document&)>& exercise) {
    using Store = tessary::JSONDocumentStore<Document>;
    auto reading = Store::read(text);
    auto& decoded = reading.document;
    if (!decoded) return;
    if (reading.newerVersion) {
        if (*reading.newerVersion <= Document::currentVersion || decoded.value().version != Document::currentVersion) {
            std::abort();
        }
    }
    const auto written = Store::encode(decoded.value());
    if (!written) std::abort();
    const auto again = Store::decode(written.value());
    if (!again || !(again.value() == decoded.value())) std::abort();
    const auto writtenAgain = Store::encode(again.value());
    if (!writtenAgain || writtenAgain.value() != written.value()) std::abort();
    exercise(decoded.value());
}

// The raw bytes as a whole document, and spliced in place of "@@" into well-formed documents, so
// that every field's decoder meets arbitrary values without the fuzzer first having to find the
// document's shape.
template <typename Document>
void fuzzDocument(const std::uint8_t* data, std::size_t size, std::initializer_list<std::string_view> templates,
                  const std::function<void(Document&)>& exercise) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzzDocumentText<Document>(bytes, exercise);
    for (std::string_view shape : templates) {
        const auto hole = shape.find("@@");
        std::string text(shape.substr(0, hole));
        text.append(bytes);
        text.append(shape.substr(hole + 2));
        fuzzDocumentText<Document>(text, exercise);
    }
}
