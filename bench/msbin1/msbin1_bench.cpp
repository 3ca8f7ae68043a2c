// Writing text bodies in the binary encoding against one bare pugixml parse of the same bytes: the
// whole of EncodeTextBody (the checks of a text body, the parse that keeps comments and white
// space, the writing), the writing alone from a parsed document, and the floor of any encoder that
// works from pugixml's document: the same parse and one traversal that reads every name and value.
// Sizes 1 KiB to 16 MiB of the envelopes of bench/support/envelopes.h.
#include "soapkit/msbin1.h"

#include "envelopes.h"
#include "nbfx_encoder.h"
#include "steady_state.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstring>

namespace {

using bench_support::TextBody;

const std::string& Body(const benchmark::State& state) { return TextBody(static_cast<std::size_t>(state.range(0))); }

void Count(benchmark::State& state, const std::string& bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_BareParse(benchmark::State& state) {
  const std::string& bytes = Body(state);
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_buffer(bytes.data(), bytes.size()));
  }
  Count(state, bytes);
}

// Reads what an encoder must: every node's type, name and value, every attribute's name and value.
struct Reader : pugi::xml_tree_walker {
  size_t bytes = 0;
  bool for_each(pugi::xml_node& node) override {
    bytes += node.type() + std::strlen(node.name()) + std::strlen(node.value());
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      bytes += std::strlen(a.name()) + std::strlen(a.value());
    }
    return true;
  }
};

void BM_ParseAndRead(benchmark::State& state) {
  const std::string& bytes = Body(state);
  for (auto _ : state) {
    pugi::xml_document document;
    document.load_buffer(bytes.data(), bytes.size(),
                         pugi::parse_default | pugi::parse_comments | pugi::parse_ws_pcdata | pugi::parse_embed_pcdata);
    Reader reader;
    document.traverse(reader);
    benchmark::DoNotOptimize(reader.bytes);
  }
  Count(state, bytes);
}

void BM_EncodeTextBody(benchmark::State& state) {
  const std::string& bytes = Body(state);
  std::string binary, error;
  for (auto _ : state) {
    if (!soapkit::EncodeTextBody(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), binary, error)) {
      state.SkipWithError(error.c_str());
    }
    benchmark::DoNotOptimize(binary.data());
  }
  Count(state, bytes);
  state.counters["binary_bytes"] = static_cast<double>(binary.size());
}

void BM_WriteOnly(benchmark::State& state) {
  const std::string& bytes = Body(state);
  pugi::xml_document document;
  // As EncodeTextBody parses it, so that this is its writing alone.
  document.load_buffer(bytes.data(), bytes.size(),
                       pugi::parse_default | pugi::parse_comments | pugi::parse_ws_pcdata | pugi::parse_embed_pcdata);
  std::string binary;
  for (auto _ : state) {
    if (!soapkit::nbfx::Encode(document, binary).ok) state.SkipWithError("not encoded");
    benchmark::DoNotOptimize(binary.data());
  }
  Count(state, bytes);
}

#define SIZES RangeMultiplier(4)->Range(1 << 10, 16 << 20)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_BareParse)->SIZES;
BENCHMARK(BM_ParseAndRead)->SIZES;
BENCHMARK(BM_EncodeTextBody)->SIZES;
BENCHMARK(BM_WriteOnly)->SIZES;

}  // namespace

int main(int argc, char** argv) { return bench_support::SteadyStateMain(argc, argv); }
