// ReadWsdlLink on a local service page, interleaved with `chromium --headless --dump-dom` of the
// same page (the browser's own start, load and exit: the floor), interleaved with itself with the
// browser's sandbox turned off, and on a page of 10,000 links.
//
// The browser class is wrapped by a timing class registered in its place, which hands every call
// on to the real browser and notes when it came: the start-up (CoCreateInstance), the load
// (Navigate to the reading that finds the page complete), the scan (get_Document to Quit: the
// library's own walk of the links) and the Quit.
#include "palisade/wsdl_data_utils.h"
#include "win32/browser.h"
#include "win32/com_object.h"
#include "win32/comptr.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Phases {
  double startup = 0, load = 0, scan = 0, quit = 0;
  int readings = 0;
};

class TimedBrowser final : public win32::ComObject<TimedBrowser, IWebBrowser2> {
 public:
  TimedBrowser(IWebBrowser2* real, Phases* phases) : real_(real), phases_(phases) {}
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override { return real_->put_Visible(value); }
  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* a, VARIANT* b, VARIANT* c, VARIANT* d) override {
    navigated_ = Clock::now();
    return real_->Navigate(url, a, b, c, d);
  }
  HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* state) override {
    const HRESULT hr = real_->get_ReadyState(state);
    ++phases_->readings;
    if (*state == READYSTATE_COMPLETE) phases_->load = Ms(Clock::now() - navigated_);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch** document) override {
    documentAsked_ = Clock::now();
    return real_->get_Document(document);
  }
  HRESULT STDMETHODCALLTYPE Quit() override {
    const auto quitting = Clock::now();
    if (documentAsked_ != Clock::time_point{}) phases_->scan = Ms(quitting - documentAsked_);
    const HRESULT hr = real_->Quit();
    phases_->quit = Ms(Clock::now() - quitting);
    return hr;
  }

 private:
  CComPtr<IWebBrowser2> real_;
  Phases* phases_;
  Clock::time_point navigated_, documentAsked_;
};

class TimedBrowserClass final : public win32::ComObject<TimedBrowserClass, IClassFactory> {
 public:
  TimedBrowserClass(IClassFactory* real, Phases* phases) : real_(real), phases_(phases) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    const auto started = Clock::now();
    CComPtr<IWebBrowser2> browser;
    const HRESULT hr = real_->CreateInstance(outer, IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    phases_->startup = Ms(Clock::now() - started);
    if (FAILED(hr)) return hr;
    return TimedBrowser::Create(riid, ppv, browser.p, phases_);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  CComPtr<IClassFactory> real_;
  Phases* phases_;
};

// The timing class in place of the browser's for as long as it lives.
class TimedRegistration {
 public:
  explicit TimedRegistration(Phases* phases) {
    CComPtr<IClassFactory> real, timed;
    if (FAILED(CoGetClassObject(CLSID_InternetExplorer, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&real))) ||
        FAILED(TimedBrowserClass::Create(IID_IClassFactory, reinterpret_cast<void**>(&timed), real.p, phases))) {
      return;
    }
    CoRegisterClassObject(CLSID_InternetExplorer, timed, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                          REGCLS_MULTIPLEUSE, &cookie_);
  }
  ~TimedRegistration() {
    if (cookie_) CoRevokeClassObject(cookie_);
  }
  bool ok() const { return cookie_ != 0; }

 private:
  DWORD cookie_ = 0;
};

std::string BrowserExecutable() {
  const char* chosen = std::getenv("PALISADE_BROWSER");
  return chosen && *chosen ? chosen : "/usr/bin/chromium";
}

// `chromium --headless --dump-dom URL` with the component's flags and a fresh profile of its own;
// false when it did not run to a clean exit.
bool DumpDom(const std::string& url) {
  std::string folder = (fs::temp_directory_path() / "palisade-dump-dom-XXXXXX").string();
  if (!mkdtemp(folder.data())) return false;
  const std::string executable = BrowserExecutable();
  std::vector<std::string> args = {executable, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                    "--disable-background-networking", "--disable-component-update",
                                    "--disable-sync", "--user-data-dir=" + folder + "/profile", "--dump-dom", url};
  std::vector<std::string> env = {"CHROME_CONFIG_HOME=" + folder + "/config", "XDG_CONFIG_HOME=" + folder + "/config",
                                  "XDG_CACHE_HOME=" + folder + "/cache"};
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int status = -1;
  if (posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  std::error_code ec;
  fs::remove_all(folder, ec);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Read(const std::string& page, std::string& url) {
  std::string address = page;
  return WsdlDataUtils(false).ReadWsdlLink(address, url);
}

void Report(benchmark::State& state, const Phases& total) {
  const auto avg = [](double value) { return benchmark::Counter(value, benchmark::Counter::kAvgIterations); };
  state.counters["startup_ms"] = avg(total.startup);
  state.counters["load_ms"] = avg(total.load);
  state.counters["readings"] = avg(total.readings);
  state.counters["scan_ms"] = avg(total.scan);
  state.counters["quit_ms"] = avg(total.quit);
}

void Accumulate(Phases& total, const Phases& one) {
  total.startup += one.startup;
  total.load += one.load;
  total.readings += one.readings;
  total.scan += one.scan;
  total.quit += one.quit;
}

// Alternating runs, so that both see the same machine.
void BM_ServicePageAgainstDumpDom(benchmark::State& state) {
  const std::string page = "file://" PALISADE_SAMPLES_DIR "/pages/Service.asmx.html";
  Phases phases, total;
  TimedRegistration timing(&phases);
  if (!timing.ok()) return state.SkipWithError("the browser class is not registered");
  double dumpDom = 0, readWsdlLink = 0;
  for (auto _ : state) {
    auto started = Clock::now();
    if (!DumpDom(page)) return state.SkipWithError("chromium --dump-dom failed");
    dumpDom += Ms(Clock::now() - started);

    phases = Phases{};
    std::string url;
    started = Clock::now();
    const bool loaded = Read(page, url);
    const auto elapsed = Clock::now() - started;
    if (!loaded || url.empty()) return state.SkipWithError("ReadWsdlLink found nothing");
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    readWsdlLink += Ms(elapsed);
    Accumulate(total, phases);
  }
  Report(state, total);
  state.counters["dump_dom_ms"] = benchmark::Counter(dumpDom, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = readWsdlLink / dumpDom;
}

// The browser with its sandbox (as nobody, when this runs as root) against the one without,
// alternating, so that both see the same machine.
void BM_SandboxedAgainstWithout(benchmark::State& state) {
  const std::string page = "file://" PALISADE_SAMPLES_DIR "/pages/Service.asmx.html";
  Phases phases, sandboxed, without;
  TimedRegistration timing(&phases);
  if (!timing.ok()) return state.SkipWithError("the browser class is not registered");
  double sandboxedMs = 0, withoutMs = 0;
  for (auto _ : state) {
    for (const bool sandbox : {true, false}) {
      if (sandbox) {
        unsetenv("PALISADE_BROWSER_SANDBOX");
      } else {
        setenv("PALISADE_BROWSER_SANDBOX", "off", 1);
      }
      phases = Phases{};
      std::string url;
      const auto started = Clock::now();
      const bool found = Read(page, url) && !url.empty();
      (sandbox ? sandboxedMs : withoutMs) += Ms(Clock::now() - started);
      Accumulate(sandbox ? sandboxed : without, phases);
      if (!found) {
        unsetenv("PALISADE_BROWSER_SANDBOX");
        return state.SkipWithError("ReadWsdlLink found nothing");
      }
    }
  }
  unsetenv("PALISADE_BROWSER_SANDBOX");
  const auto avg = [](double value) { return benchmark::Counter(value, benchmark::Counter::kAvgIterations); };
  state.counters["sandboxed_startup_ms"] = avg(sandboxed.startup);
  state.counters["without_startup_ms"] = avg(without.startup);
  state.counters["sandboxed_quit_ms"] = avg(sandboxed.quit);
  state.counters["without_quit_ms"] = avg(without.quit);
  state.counters["sandboxed_total_ms"] = avg(sandboxedMs);
  state.counters["without_total_ms"] = avg(withoutMs);
}

void BM_TenThousandLinks(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "palisade-bench-links";
  fs::create_directories(folder);
  {
    std::ofstream html(folder / "links.html");
    html << "<!DOCTYPE html><html><head><title>Catalogue</title></head><body><ul>\n";
    for (int i = 0; i < 10000; ++i) html << "<li><a href=\"items/" << i << ".html\">Item " << i << "</a></li>\n";
    html << "</ul></body></html>\n";
  }
  const std::string page = "file://" + (folder / "links.html").string();
  Phases phases, total;
  TimedRegistration timing(&phases);
  if (!timing.ok()) return state.SkipWithError("the browser class is not registered");
  for (auto _ : state) {
    phases = Phases{};
    std::string url;
    const auto started = Clock::now();
    if (!Read(page, url) || !url.empty()) return state.SkipWithError("the page did not load as expected");
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    Accumulate(total, phases);
  }
  Report(state, total);
  fs::remove_all(folder);
}

BENCHMARK(BM_ServicePageAgainstDumpDom)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SandboxedAgainstWithout)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenThousandLinks)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const HRESULT com = CoInitialize(nullptr);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
