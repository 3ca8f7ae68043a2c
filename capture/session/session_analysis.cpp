#include "session_analysis.h"

#include "capture/http_header.h"
#include "service_naming.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string_view>

namespace capture {
namespace {

// The media type of a Content-Type value, without parameters.
std::string MediaType(const std::string& contentType) {
  std::string type = LowerAscii(contentType.substr(0, contentType.find(';')));
  type.erase(type.find_last_not_of(" \t") + 1);
  return type;
}

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

std::string Key(const std::string& endpoint, const std::string& port, const ConfigurationTypes& config) {
  const SecuritySettings& s = config.security;
  const std::initializer_list<const std::string*> parts = {
      &endpoint, &port, &config.messageEncoding, &config.addressingVersion, &s.authenticationMode, &s.username,
      &s.password};
  std::size_t size = 0;
  for (const std::string* part : parts) size += part->size() + sizeof(std::uint32_t);
  std::string key;
  key.reserve(size);
  // Each part after its length, so that no two bindings share a key.
  for (const std::string* part : parts) {
    const auto length = static_cast<std::uint32_t>(part->size());
    key.append(reinterpret_cast<const char*>(&length), sizeof length).append(*part);
  }
  return key;
}

// One more request for each kind among `hazards`, kinds in the order first met.
void CountHazards(const std::vector<analysis::Hazard>& hazards, std::vector<std::pair<std::string, std::size_t>>& counts) {
  std::vector<std::string_view> seen;  // a request counts once for each kind; there are few kinds
  for (const analysis::Hazard& hazard : hazards) {
    if (std::find(seen.begin(), seen.end(), hazard.kind) != seen.end()) continue;
    seen.push_back(hazard.kind);
    const auto known = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == hazard.kind; });
    if (known == counts.end()) {
      counts.emplace_back(hazard.kind, 1);
    } else {
      ++known->second;
    }
  }
}

}  // namespace

bool IsSoapRequest(const std::string& method, const std::string& header) {
  if (!HeaderValue(header, "SOAPAction").empty() || header.find("\nSOAPAction:") != std::string::npos) return true;
  const std::string type = MediaType(HeaderValue(header, "Content-Type"));
  return method == "POST" &&
         (type == "text/xml" || type == "application/soap+xml" || type == "application/soap+msbin1");
}

void SessionAnalysis::Add(SessionEntry&& entry) {
  entry.header = CanonicalHeaderNames(entry.header);
  if (!entry.header.empty() && !IsSoapRequest(entry.method, entry.header)) {
    ++report_.other;
    return;
  }
  if (!entry.skipReason.empty()) {
    report_.skipped.push_back({entry.id, entry.url, entry.skipReason});
    return;
  }
  AddSoapRequest(std::move(entry));
}

const SessionAnalysis::Target* SessionAnalysis::TargetOf(const std::string& url) {
  constexpr std::size_t kKept = 256;
  const auto known = targets_.find(url);
  if (known != targets_.end()) return &known->second;
  Target target;
  if (!ParseUrl(url, target.url)) return nullptr;
  target.endpoint = EndpointOf(target.url);
  target.service = ServiceName(target.url);
  if (targets_.size() == kKept) targets_.clear();
  return &targets_.emplace(url, std::move(target)).first->second;
}

void SessionAnalysis::AddSoapRequest(SessionEntry&& entry) {
  const Target* target = TargetOf(entry.url);
  if (target == nullptr) {
    report_.skipped.push_back({entry.id, entry.url, "no absolute http(s) URL for the request"});
    return;
  }
  const analysis::Envelope envelope(entry.body);
  if (envelope.element() == nullptr) {
    report_.skipped.push_back({entry.id, entry.url, "the body is no SOAP envelope (not loadable XML, or another root)"});
    return;
  }
  const ConfigurationTypes config = analysis::DeriveConfiguration(entry.header, envelope);
  const analysis::SoapHeaderFacts facts = headerReader_.Read(envelope, &target->url);
  std::string action = Unquoted(HeaderValue(entry.header, "SOAPAction"));
  if (action.empty()) action = facts.action;
  const std::string& endpoint = target->endpoint;
  const std::string& service = target->service;
  const std::string port = PortName(action, service);

  const auto [it, added] = index_.emplace(Key(endpoint, port, config), report_.services.size());
  if (added) {
    ServiceBinding binding{endpoint, service, port, config, {}, {}, {}};
    if (keepRequests_) binding.first = RecordedRequest{entry.header, std::move(entry.body)};
    report_.services.push_back(std::move(binding));
  }
  ServiceBinding& binding = report_.services[it->second];
  binding.entries.push_back(std::move(entry.id));
  CountHazards(facts.hazards, binding.hazards);
}

SessionReport SessionAnalysis::Finish() {
  std::map<std::string, std::set<std::string>> bindings;  // endpoint -> its bindings, ports aside
  for (const ServiceBinding& b : report_.services) bindings[b.endpoint].insert(Key("", "", b.config));
  for (const auto& [endpoint, distinct] : bindings) {
    if (distinct.size() > 1) {
      report_.warnings.push_back(endpoint + ": its requests disagree, " + std::to_string(distinct.size()) +
                                 " bindings are listed");
    }
  }
  return std::move(report_);
}

std::vector<const ServiceBinding*> BindingsToStore(const SessionReport& report, std::vector<std::string>& warnings) {
  std::map<std::pair<std::string, std::string>, std::vector<const ServiceBinding*>> byName;
  std::vector<std::pair<std::string, std::string>> order;
  for (const ServiceBinding& b : report.services) {
    auto& same = byName[{b.service, b.port}];
    if (same.empty()) order.emplace_back(b.service, b.port);
    same.push_back(&b);
  }
  std::vector<const ServiceBinding*> chosen;
  for (const auto& name : order) {
    const auto& same = byName[name];
    // The first of the most carried wins a tie.
    const ServiceBinding* best = *std::max_element(same.begin(), same.end(), [](const auto* a, const auto* b) {
      return a->entries.size() < b->entries.size();
    });
    if (same.size() > 1) {
      warnings.push_back("service " + name.first + ", port " + name.second + ": " + std::to_string(same.size()) +
                         " bindings share the name; stored the one of " + best->endpoint + " (" +
                         std::to_string(best->entries.size()) + " requests)");
    }
    chosen.push_back(best);
  }
  return chosen;
}

}  // namespace capture
