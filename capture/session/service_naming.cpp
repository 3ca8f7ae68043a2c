#include "service_naming.h"

namespace capture {

std::string ServiceName(const Url& endpoint) {
  std::string_view path = endpoint.path;
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  const std::string_view segment = path.substr(path.rfind('/') + 1);
  const std::size_t dot = segment.rfind('.');
  const std::string_view stem = dot == 0 || dot == std::string_view::npos ? segment : segment.substr(0, dot);
  return stem.empty() ? endpoint.host : std::string(stem);
}

std::string ContractOf(std::string_view action) {
  const std::size_t scheme = action.find("://");
  if (scheme != std::string_view::npos) {
    const std::size_t path = action.find('/', scheme + 3);
    action = path == std::string_view::npos ? std::string_view() : action.substr(path + 1);
  }
  const std::size_t last = action.rfind('/');
  if (last == std::string_view::npos || last == 0) return {};
  const std::string_view before = action.substr(0, last);
  return std::string(before.substr(before.rfind('/') + 1));
}

std::string PortName(std::string_view action, const std::string& service) {
  const std::string contract = ContractOf(action);
  return contract.empty() ? service : "CustomBinding_" + contract;
}

}  // namespace capture
