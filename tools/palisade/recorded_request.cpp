#include "recorded_request.h"

#include "hostrt32/os_files.h"

namespace cli {
namespace {

constexpr std::size_t kMaxRequestBytes = std::size_t(1) << 30;

}  // namespace

bool LoadRecordedRequest(const std::string& path, RecordedRequest& request, std::string& error) {
  std::string contents;
  if (!hostrt::ReadWholeFile(path, contents, error, kMaxRequestBytes)) return false;
  // The first blank line ends the header, whichever line ends the recorder used.
  std::size_t split = contents.find("\r\n\r\n");
  std::size_t separator = 4;
  const std::size_t lf = contents.find("\n\n");
  if (lf != std::string::npos && (split == std::string::npos || lf < split)) split = lf, separator = 2;
  if (split == std::string::npos) {
    error = "no blank line after the header in '" + path + "'";
    return false;
  }
  request.header = contents.substr(0, split);
  request.body = contents.substr(split + separator);
  return true;
}

bool LoadRequestParts(const std::string& headerPath, const std::string& bodyPath, RecordedRequest& request,
                      std::string& error) {
  return hostrt::ReadWholeFile(headerPath, request.header, error, kMaxRequestBytes) &&
         hostrt::ReadWholeFile(bodyPath, request.body, error, kMaxRequestBytes);
}

}  // namespace cli
