// The SOAP analysis of one request (two parses of the body and their walks) against one bare
// pugixml parse of the same bytes, and the analysis of binary bodies against their text twins.
// Sizes 1 KiB to 16 MiB: a realistic envelope (addressing headers, a Security header with a
// UsernameToken) whose body holds as many order lines as the size asks for.
#include "serviceconfig/soap_analysis.h"

#include "msbin1_writer.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <malloc.h>

#include <map>
#include <string>

namespace {

std::string Envelope(std::size_t size) {
  std::string xml =
      R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://www.w3.org/2005/08/addressing" )"
      R"(xmlns:u="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"><s:Header>)"
      R"(<a:Action s:mustUnderstand="1">http://tempuri.org/IOrderService/SubmitOrders</a:Action>)"
      R"(<a:MessageID>urn:uuid:6f1c2a8e-3b7d-4e52-9a0f-1d2c3b4a5e6f</a:MessageID>)"
      R"(<a:ReplyTo><a:Address>http://www.w3.org/2005/08/addressing/anonymous</a:Address></a:ReplyTo>)"
      R"(<a:To s:mustUnderstand="1">https://orders.example.com/OrderService.svc</a:To>)"
      R"(<o:Security s:mustUnderstand="1" xmlns:o="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd">)"
      R"(<u:Timestamp u:Id="_0"><u:Created>2026-11-30T09:14:02.117Z</u:Created><u:Expires>2026-11-30T09:19:02.117Z</u:Expires></u:Timestamp>)"
      R"(<o:UsernameToken u:Id="uuid-1"><o:Username>j.doe</o:Username><o:Password>secret</o:Password></o:UsernameToken>)"
      R"(</o:Security></s:Header><s:Body><SubmitOrders xmlns="http://tempuri.org/">)";
  const std::string tail = "</SubmitOrders></s:Body></s:Envelope>";
  for (int line = 0; xml.size() + tail.size() < size; ++line) {
    xml += "<OrderLine id=\"" + std::to_string(line) +
           "\"><Sku>GT-2209</Sku><Quantity>12</Quantity><Note>Deliver to the loading dock &amp; call ahead</Note>"
           "</OrderLine>";
  }
  return xml + tail;
}

// Bodies are made once per size and kept: building a 16 MiB one takes longer than analysing it.
const std::string& TextBody(std::size_t size) {
  static std::map<std::size_t, std::string> bodies;
  auto it = bodies.find(size);
  if (it == bodies.end()) it = bodies.emplace(size, Envelope(size)).first;
  return it->second;
}

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

int main(int argc, char** argv) {
  // Steady state, as in a recorder that has been running a while: freed memory is reused rather
  // than handed back to the system and faulted in again, which on a virtual machine costs more
  // than the parse itself and would depend on which benchmark ran first.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
