// A whole recorded session through `capture`'s path (HAR read as a stream, each body loaded once for
// the binding, the action and the hazards) against a bare SAX parse of the same file by the same
// JSON parser plus one bare pugixml parse of each body. HARs of 1,000 to 100,000 requests (about
// 2 KiB each: half text bodies, half binary ones in base64), built here once and kept in /tmp.
//
// Memory is counted, not sampled, in a run of its own: every allocation of operator new and of
// pugixml made during the run, the peak of what is live ("peak_mib"), against 64 MiB plus twice the
// largest entry.
#include "base64_text.h"
#include "msbin1_writer.h"
#include "session_analysis.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<long long> gLive{0}, gPeak{0};
// Counting costs time: only the memory run counts.
std::atomic<bool> gCounting{false};

// Not inlined into operator delete, where the compiler would take free() for a mismatch.
__attribute__((noinline)) void* Counted(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p == nullptr || !gCounting) return p;
  const long long live = gLive += static_cast<long long>(malloc_usable_size(p));
  for (long long peak = gPeak; live > peak && !gPeak.compare_exchange_weak(peak, live);) {
  }
  return p;
}
__attribute__((noinline)) void Uncounted(void* p) {
  if (p == nullptr) return;
  if (gCounting) gLive -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}

std::string Envelope(int i) {
  std::string xml =
      R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://www.w3.org/2005/08/addressing" )"
      R"(xmlns:u="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"><s:Header>)"
      R"(<a:Action s:mustUnderstand="1">http://tempuri.org/IOrderService/SubmitOrders</a:Action>)"
      R"(<a:MessageID>urn:uuid:6f1c2a8e-3b7d-4e52-9a0f-)" + std::to_string(100000000000 + i) + R"(</a:MessageID>)"
      R"(<a:To s:mustUnderstand="1">https://orders.example.com/OrderService)" + std::to_string(i % 10) + R"(.svc</a:To>)"
      R"(<o:Security s:mustUnderstand="1" xmlns:o="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd">)"
      R"(<u:Timestamp u:Id="_0"><u:Created>2026-11-30T09:14:02.117Z</u:Created><u:Expires>2026-11-30T09:19:02.117Z</u:Expires></u:Timestamp>)"
      R"(<o:UsernameToken u:Id="uuid-1"><o:Username>j.doe</o:Username><o:Password>secret</o:Password></o:UsernameToken>)"
      R"(</o:Security></s:Header><s:Body><SubmitOrders xmlns="http://tempuri.org/">)";
  for (int line = 0; xml.size() < 1700; ++line) {
    xml += "<OrderLine id=\"" + std::to_string(line) + "\"><Sku>GT-2209</Sku><Quantity>12</Quantity></OrderLine>";
  }
  return xml + "</SubmitOrders></s:Body></s:Envelope>";
}

struct Session {
  std::string path;
  std::vector<std::string> bodies;  // the text of each entry's body, for the bare parses
  std::size_t bytes = 0, largestEntry = 0;
};

const Session& Har(int requests) {
  static std::map<int, Session> sessions;
  auto found = sessions.find(requests);
  if (found != sessions.end()) return found->second;
  Session& session = sessions[requests];
  session.path = "/tmp/palisade-capture-bench-" + std::to_string(requests) + ".har";
  std::ofstream out(session.path, std::ios::binary | std::ios::trunc);
  out << R"({"log":{"version":"1.2","creator":{"name":"bench","version":"1"},"entries":[)";
  for (int i = 0; i < requests; ++i) {
    const bool binary = i % 2 == 1;
    std::string xml = Envelope(i);
    const std::string url = "https://orders.example.com/OrderService" + std::to_string(i % 10) + ".svc";
    const std::string text = binary ? testing_support::Base64(testing_support::BinaryTwin(xml)) : xml;
    std::string entry = std::string(i ? "," : "") + R"({"startedDateTime":"2026-11-30T09:14:02Z","time":12,)" +
                        R"("request":{"method":"POST","url":)" + nlohmann::json(url).dump() +
                        R"(,"httpVersion":"HTTP/1.1","headers":[{"name":"Content-Type","value":")" +
                        (binary ? "application/soap+msbin1" : "application/soap+xml; charset=utf-8") +
                        R"("},{"name":"Host","value":"orders.example.com"}],"postData":{"mimeType":"x",)" +
                        (binary ? R"("encoding":"base64",)" : "") + R"("text":)" + nlohmann::json(text).dump() +
                        R"(}},"response":{"status":200,"content":{"size":5,"text":"<ok/>"}}})";
    session.largestEntry = std::max(session.largestEntry, entry.size());
    session.bytes += entry.size();
    out << entry;
    session.bodies.push_back(std::move(xml));
  }
  out << "]}}";
  return session;
}

// What the JSON parser does with no handler work at all.
struct NullSax {
  using Json = nlohmann::json;
  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(Json::number_integer_t) { return true; }
  bool number_unsigned(Json::number_unsigned_t) { return true; }
  bool number_float(Json::number_float_t, const Json::string_t&) { return true; }
  bool string(Json::string_t&) { return true; }
  bool binary(Json::binary_t&) { return true; }
  bool start_object(std::size_t) { return true; }
  bool key(Json::string_t&) { return true; }
  bool end_object() { return true; }
  bool start_array(std::size_t) { return true; }
  bool end_array() { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
};

// The bindings of the session; false with the reason in `why` when they are not the ten expected.
bool Capture(const Session& session, std::string& why) {
  capture::SessionAnalysis analysis(false);
  if (!capture::ReadSession(session.path, [&](capture::SessionEntry&& e) { analysis.Add(std::move(e)); }, why)) {
    return false;
  }
  const capture::SessionReport report = analysis.Finish();
  why = std::to_string(report.services.size()) + " bindings, " + std::to_string(report.skipped.size()) + " skipped";
  return report.services.size() == 10 && report.skipped.empty();
}

void BM_Capture(benchmark::State& state) {
  const Session& session = Har(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string why;
    if (!Capture(session, why)) state.SkipWithError(why.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * session.bytes));
  state.SetComplexityN(state.range(0));
}

// The reader alone: what the analysis adds is the difference to BM_Capture.
void BM_ReadSession(benchmark::State& state) {
  const Session& session = Har(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::size_t bodyBytes = 0;
    std::string error;
    if (!capture::ReadSession(session.path, [&](capture::SessionEntry&& e) { bodyBytes += e.body.size(); }, error)) {
      state.SkipWithError(error.c_str());
    }
    benchmark::DoNotOptimize(bodyBytes);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CaptureMemory(benchmark::State& state) {
  const Session& session = Har(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    gLive = 0;
    gPeak = 0;
    gCounting = true;
    std::string why;
    const bool captured = Capture(session, why);
    gCounting = false;
    if (!captured) state.SkipWithError(why.c_str());
  }
  state.counters["peak_mib"] = static_cast<double>(gPeak.load()) / (1 << 20);
  state.counters["bound_mib"] = 64 + 2.0 * static_cast<double>(session.largestEntry) / (1 << 20);
  state.counters["file_mib"] = static_cast<double>(session.bytes) / (1 << 20);
}

void BM_BareParses(benchmark::State& state) {
  const Session& session = Har(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::ifstream in;
    std::vector<char> buffer(std::size_t(1) << 20);
    in.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    in.open(session.path, std::ios::binary);
    NullSax sax;
    if (!nlohmann::json::sax_parse(in, &sax)) state.SkipWithError("the HAR does not parse");
    for (const std::string& body : session.bodies) {
      pugi::xml_document document;
      benchmark::DoNotOptimize(document.load_buffer(body.data(), body.size()));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * session.bytes));
  state.SetComplexityN(state.range(0));
}

#define SESSIONS RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)
BENCHMARK(BM_BareParses)->SESSIONS->MinTime(2);
BENCHMARK(BM_ReadSession)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Capture)->SESSIONS->MinTime(2);
BENCHMARK(BM_CaptureMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

void* operator new(std::size_t size) {
  void* p = Counted(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { Uncounted(p); }

int main(int argc, char** argv) {
  // Steady state, as the analysis benchmark has it: freed memory is reused rather than handed back
  // to the system and faulted in again.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  pugi::set_memory_management_functions(Counted, Uncounted);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int requests : {1000, 10000, 100000}) {
    std::remove(("/tmp/palisade-capture-bench-" + std::to_string(requests) + ".har").c_str());
  }
}
