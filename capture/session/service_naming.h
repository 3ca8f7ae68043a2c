// The names a recorded binding is stored under: the service from its endpoint, the port from the
// contract its action names.
#pragma once

#include "capture/http_header.h"

#include <string>
#include <string_view>

namespace capture {

// The endpoint's last path segment without its extension (".../CatalogService.svc" ->
// "CatalogService"); the host when the path has no segment.
std::string ServiceName(const Url& endpoint);
// The contract an action names: the segment before its last one
// ("http://tempuri.org/ICatalogService/GetProducts" -> "ICatalogService"); empty when it has none.
std::string ContractOf(std::string_view action);
// "CustomBinding_<contract>", as WCF names client bindings; the service name when the action names
// no contract.
std::string PortName(std::string_view action, const std::string& service);

}  // namespace capture
