// The JSON reader and writer against nlohmann's parse and dump, on the texts of a 400-placement
// window memory and a 100-layout library. Argument 0 is the memory, 1 the library.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/JSONReader.h"
#include "TessaryCore/JSONWriter.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "bench/BenchDocuments.h"

using namespace tessary;
using tessary::bench::fullMemory;
using tessary::bench::hundredLayouts;
using tessary::json::Json;

namespace {

const std::string& documentText(std::int64_t which) {
    static const std::string memory = JSONDocumentStore<WindowPlacementMemory>::encode(fullMemory()).value();
    static const std::string library = JSONDocumentStore<LayoutLibrary>::encode(hundredLayouts()).value();
    return which == 0 ? memory : library;
}

void setBytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_ParseNlohmann(benchmark::State& state) {
    const std::string& text = documentText(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(Json::parse(text.begin(), text.end()));
    setBytes(state, text.size());
}
BENCHMARK(BM_ParseNlohmann)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ParseReader(benchmark::State& state) {
    const std::string& text = documentText(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(json::JSONReader::parse(text));
    setBytes(state, text.size());
}
BENCHMARK(BM_ParseReader)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same without freeing the values in the timed part: parsed in batches, freed between them.
template <typename Parse>
void parseWithoutFreeing(benchmark::State& state, Parse parse) {
    const std::string& text = documentText(state.range(0));
    constexpr std::size_t batch = 32;
    std::vector<Json> values;
    values.reserve(batch);
    for (auto _ : state) {
        values.push_back(parse(text));
        if (values.size() == batch) {
            state.PauseTiming();
            values.clear();
            state.ResumeTiming();
        }
    }
    setBytes(state, text.size());
}

void BM_ParseOnlyNlohmann(benchmark::State& state) {
    parseWithoutFreeing(state, [](const std::string& text) { return Json::parse(text.begin(), text.end()); });
}
BENCHMARK(BM_ParseOnlyNlohmann)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ParseOnlyReader(benchmark::State& state) {
    parseWithoutFreeing(state, [](const std::string& text) { return json::JSONReader::parse(text); });
}
BENCHMARK(BM_ParseOnlyReader)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DumpPrettyNlohmann(benchmark::State& state) {
    const std::string& text = documentText(state.range(0));
    const Json value = Json::parse(text);
    for (auto _ : state) benchmark::DoNotOptimize(value.dump(2, ' ', false, Json::error_handler_t::strict));
    setBytes(state, text.size());
}
BENCHMARK(BM_DumpPrettyNlohmann)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DumpPrettyWriter(benchmark::State& state) {
    const std::string& text = documentText(state.range(0));
    const Json value = Json::parse(text);
    for (auto _ : state) benchmark::DoNotOptimize(json::JSONWriter::write(value, json::JSONWriter::Style::pretty));
    setBytes(state, text.size());
}
BENCHMARK(BM_DumpPrettyWriter)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DumpCompactNlohmann(benchmark::State& state) {
    const Json value = Json::parse(documentText(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(value.dump(-1, ' ', false, Json::error_handler_t::strict));
}
BENCHMARK(BM_DumpCompactNlohmann)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DumpCompactWriter(benchmark::State& state) {
    const Json value = Json::parse(documentText(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(json::JSONWriter::write(value, json::JSONWriter::Style::compact));
}
BENCHMARK(BM_DumpCompactWriter)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Copying a value and freeing it: about the floor of what building one costs, whatever the reader.
void BM_CopyAndFreeValue(benchmark::State& state) {
    const Json value = Json::parse(documentText(state.range(0)));
    for (auto _ : state) {
        Json copy = value;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyAndFreeValue)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
