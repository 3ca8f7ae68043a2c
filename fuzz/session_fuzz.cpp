// Feeds arbitrary bytes as a recorded session (HAR, SAZ or Burp XML, told from the content) to the
// readers and the session analysis. A session that cannot be read says why in one line; one that
// can gives only bindings the analysis can give.
#include "session_analysis.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The readers take a path: one file per fuzzing process, rewritten for each input.
  static const std::string path = "/tmp/palisade-session-fuzz-" + std::to_string(getpid());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  capture::SessionAnalysis analysis(true);
  std::string error;
  const bool read =
      capture::ReadSession(path, [&](capture::SessionEntry&& e) { analysis.Add(std::move(e)); }, error);
  const capture::SessionReport report = analysis.Finish();
  if (!read && (error.empty() || error.find('\n') != std::string::npos)) std::abort();
  for (const capture::ServiceBinding& b : report.services) {
    const std::string& version = b.config.addressingVersion;
    if (version != "" && version != "None" && version != "WSAddressingAugust2004") std::abort();
    if (b.entries.empty() || b.endpoint.rfind("http", 0) != 0 || b.service.empty() || b.port.empty()) std::abort();
  }
  for (const capture::SkippedRequest& s : report.skipped) {
    if (s.reason.empty()) std::abort();
  }
  return 0;
}
