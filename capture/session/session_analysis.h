// The service bindings of a recorded session: its SOAP requests grouped by endpoint and binding,
// each body loaded once for the whole analysis.
#pragma once

#include "capture/http_header.h"
#include "capture/recorded_request.h"
#include "capture/session_reader.h"
#include "serviceconfig/soap_analysis.h"
#include "serviceconfig/soap_header.h"

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace capture {

// A POST whose Content-Type is text/xml, application/soap+xml or application/soap+msbin1, or any
// request with a SOAPAction header.
bool IsSoapRequest(const std::string& method, const std::string& header);

// One binding at one endpoint and port.
struct ServiceBinding {
  std::string endpoint, service, port;
  ConfigurationTypes config;
  std::vector<std::string> entries;  // the ids of the requests that carried it
  std::vector<std::pair<std::string, std::size_t>> hazards;  // replay hazard kind -> requests that had it
  RecordedRequest first;             // its first request, when the analysis keeps them
};

struct SkippedRequest {
  std::string entry, url, reason;
};

struct SessionReport {
  std::vector<ServiceBinding> services;  // in the order first met
  std::vector<SkippedRequest> skipped;
  std::size_t other = 0;               // requests that are not SOAP requests
  std::vector<std::string> warnings;   // endpoints whose requests disagree
};

class SessionAnalysis {
 public:
  // `keepRequests`: keep each binding's first request, to store it later.
  explicit SessionAnalysis(bool keepRequests)
      : keepRequests_(keepRequests), headerReader_(analysis::SoapHeaderReader::Details::kWithout) {}

  void Add(SessionEntry&& entry);
  // The report, with a warning for each endpoint that carries more than one binding.
  SessionReport Finish();

 private:
  void AddSoapRequest(SessionEntry&& entry);

  // What a request URL says, kept for the URLs met last: sessions repeat a few endpoints.
  struct Target {
    Url url;
    std::string endpoint, service;
  };
  const Target* TargetOf(const std::string& url);

  bool keepRequests_;
  analysis::SoapHeaderReader headerReader_;
  SessionReport report_;
  std::map<std::string, std::size_t> index_;  // endpoint, port and binding -> services[i]
  std::map<std::string, Target, std::less<>> targets_;
};

// The bindings to store, one per service and port: where several share both (an endpoint whose
// requests disagree, or two endpoints of one name), the one most requests carried, with a warning.
std::vector<const ServiceBinding*> BindingsToStore(const SessionReport& report, std::vector<std::string>& warnings);

}  // namespace capture
