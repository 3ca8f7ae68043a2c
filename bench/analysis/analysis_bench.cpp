// The SOAP analysis of one request (two parses of the body and their walks) against one bare
// pugixml parse of the same bytes, and the analysis of binary bodies against their text twins.
// Sizes 1 KiB to 16 MiB of the envelopes of bench/support/envelopes.h.
#include "serviceconfig/soap_analysis.h"

#include "envelopes.h"
#include "steady_state.h"
#include "msbin1_writer.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <map>
#include <string>

namespace {

using bench_support::TextBody;

const std::string& BinaryBody(std::size_t size) {
  static std::map<std::size_t, std::string> bodies;
  auto it = bodies.find(size);
  if (it == bodies.end()) it = bodies.emplace(size, testing_support::BinaryTwin(TextBody(size))).first;
  return it->second;
}

void Analyse(benchmark::State& state, const std::string& header, const std::string& bytes) {
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, bytes.data(), bytes.size());
  for (auto _ : state) {
    ConfigurationTypes config = analysis::DeriveConfiguration(header, body);
    if (config.security.username != "j.doe") state.SkipWithError("the analysis missed the token");
    benchmark::DoNotOptimize(config);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["body_bytes"] = static_cast<double>(bytes.size());
}

void BM_BareParse(benchmark::State& state) {
  const std::string& bytes = TextBody(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_buffer(bytes.data(), bytes.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_TextAnalysis(benchmark::State& state) {
  Analyse(state, "Content-Type: application/soap+xml", TextBody(static_cast<std::size_t>(state.range(0))));
}

void BM_BinaryAnalysis(benchmark::State& state) {
  Analyse(state, "Content-Type: application/soap+msbin1", BinaryBody(static_cast<std::size_t>(state.range(0))));
}

// Sizes are those of the text twin, so the two analyses handle the same document.
#define SIZES RangeMultiplier(4)->Range(1 << 10, 16 << 20)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_BareParse)->SIZES;
BENCHMARK(BM_TextAnalysis)->SIZES;
BENCHMARK(BM_BinaryAnalysis)->SIZES;

}  // namespace

int main(int argc, char** argv) { return bench_support::SteadyStateMain(argc, argv); }
