// A list of 1k, 10k and 100k items saved (replacing the file, and into a file it shares with the
// options section), loaded, and looked up by key once per item. Items carry what the library
// writes: a WSDL URL, the key, a flag and connection texts. The complexity fit over the three
// sizes shows whether time grows linearly with the number of items.
#include "contracts/vaultline_interfaces.h"
#include "hostrt32/os_files.h"
#include "win32/strings.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace Vaultline;

win32::Bstr Ansi(const std::string& text) { return win32::Bstr(win32::Widen(text)); }

template <class I>
CComPtr<I> Create(const OLECHAR* progId) {
  CComPtr<I> object;
  object.CoCreateInstance(progId, nullptr, CLSCTX_INPROC_SERVER);
  return object;
}

std::string Key(int i) { return "http://services.example.com/Orders" + std::to_string(i) + "/OrderService.svc"; }

CComPtr<IPersistSilverlightList> ListOf(int items) {
  CComPtr<IPersistSilverlightList> list = Create<IPersistSilverlightList>(kProgIdSilverlightList);
  for (int i = 0; i < items; ++i) {
    CComPtr<IPersistSilverlightListItemRO> item = Create<IPersistSilverlightListItemRO>(kProgIdSilverlightListItemRO);
    const win32::Bstr key = Ansi(Key(i));
    item->put_WsdlUrl(Ansi(Key(i) + "?wsdl").get());
    item->put_ItemKey(key.get());
    item->put_ItemFlag(VARIANT_TRUE);
    CComPtr<IPersistSilverlightConnectionSettings> settings = item->GetConnectionSettings();
    settings->put_ConnectionText1(Ansi("CN=client " + std::to_string(i)).get());
    settings->put_ProxyPortStr(Ansi("8080").get());
    list->AddItemByKey(key.get(), item);
  }
  return list;
}

// A scratch folder for the run.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "vaultline-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("vaultline_bench: no scratch folder");
      std::exit(1);
    }
    return pattern;
  }();
  return folder;
}

std::string FileFor(const char* name, benchmark::State& state) {
  return Folder() + "/" + name + "-" + std::to_string(state.range(0)) + ".ini";
}

void Finish(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}

void BM_SaveReplacing(benchmark::State& state) {
  CComPtr<IPersistSilverlightList> list = ListOf(static_cast<int>(state.range(0)));
  const win32::Bstr file = Ansi(FileFor("replacing", state));
  for (auto _ : state) {
    if (FAILED(list->raw_SaveEx(file.get(), 1))) state.SkipWithError("SaveEx failed");
  }
  Finish(state);
}

void BM_SaveKeepingOptions(benchmark::State& state) {
  CComPtr<IPersistSilverlightList> list = ListOf(static_cast<int>(state.range(0)));
  const std::string path = FileFor("keeping", state);
  std::ofstream(path, std::ios::binary) << "; options\r\n[GENERAL]\r\nAutoDetectMode=Yes\r\n";
  const win32::Bstr file = Ansi(path);
  for (auto _ : state) {
    if (FAILED(list->raw_SaveEx(file.get(), 0))) state.SkipWithError("SaveEx failed");
  }
  Finish(state);
}

void BM_Load(benchmark::State& state) {
  const win32::Bstr file = Ansi(FileFor("load", state));
  ListOf(static_cast<int>(state.range(0)))->raw_SaveEx(file.get(), 1);
  CComPtr<IPersistSilverlightList> list = Create<IPersistSilverlightList>(kProgIdSilverlightList);
  for (auto _ : state) {
    if (FAILED(list->raw_Load(file.get()))) state.SkipWithError("Load failed");
  }
  LONG count = 0;
  list->get_Count(&count);
  if (count != state.range(0)) state.SkipWithError("items lost");
  Finish(state);
}

// One look-up per item, as the library makes it: ContainsItemWithKey, GetItemByKey, the values
// interface and the WSDL URL.
void BM_LookUpEveryKey(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  CComPtr<IPersistSilverlightList> list = ListOf(items);
  std::vector<win32::Bstr> keys;
  keys.reserve(items);
  for (int i = 0; i < items; ++i) keys.push_back(Ansi(Key(i)));
  for (auto _ : state) {
    for (const win32::Bstr& key : keys) {
      VARIANT_BOOL present = VARIANT_FALSE;
      CComPtr<IPersistSilverlightListItem> item;
      CComPtr<IPersistSilverlightListItemRO> values;
      win32::Bstr url;
      if (FAILED(list->raw_ContainsItemWithKey(key.get(), &present)) || present != VARIANT_TRUE ||
          FAILED(list->raw_GetItemByKey(key.get(), &item)) || FAILED(item.QueryInterface(&values.p)) ||
          FAILED(values->get_WsdlUrl(url.out()))) {
        state.SkipWithError("look-up failed");
        break;
      }
      benchmark::DoNotOptimize(url.get());
    }
  }
  Finish(state);
}

// What a save spends on the lock between processes: taking it and giving it up (with its lock
// file made and removed), beside the whole save of the same size.
void BM_LockCycle(benchmark::State& state) {
  const std::string path = FileFor("locked", state);
  for (auto _ : state) {
    hostrt::FileLock lock;
    if (lock.Acquire(path)) state.SkipWithError("no lock");
  }
}
BENCHMARK(BM_LockCycle)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A warm-up run first, so that no size pays for memory the process touches for the first time.
#define SIZES                                                                                    \
  RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.3)->MinTime(1) \
      ->Complexity(benchmark::oN)
BENCHMARK(BM_SaveReplacing)->SIZES;
BENCHMARK(BM_SaveKeepingOptions)->SIZES;
BENCHMARK(BM_Load)->SIZES;
BENCHMARK(BM_LookUpEveryKey)->SIZES;

}  // namespace

int main(int argc, char** argv) {
  // Steady state, as in a recorder that has been running a while: freed memory is reused rather
  // than handed back to the system and faulted in again.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  const HRESULT com = CoInitialize(nullptr);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Folder());
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
