// Feeds a header text and a body to the SOAP analysis: the bytes before the first NUL are the
// header, the rest the body (text or binary). Whatever comes in, the binding holds only the values
// the analysis can give.
#include "serviceconfig/soap_analysis.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(bytes, 0, size);
  const size_t headerSize = nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size;
  const std::string header(bytes, headerSize);
  OsStrBin body;
  const size_t bodyStart = headerSize < size ? headerSize + 1 : size;
  xfvOsStrConstructFromBytes(&body, bytes + bodyStart, size - bodyStart);

  const ConfigurationTypes config = analysis::DeriveConfiguration(header, body);
  const std::string& version = config.addressingVersion;
  if (version != "" && version != "None" && version != "WSAddressingAugust2004") std::abort();
  const std::string& mode = config.security.authenticationMode;
  if (mode != "" && mode != "UserNameOverTransport") std::abort();
  if (mode.empty() && !(config.security.username.empty() && config.security.password.empty())) std::abort();
  return 0;
}
