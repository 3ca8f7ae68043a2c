// palisade analyze / configure: the binding of a recorded SOAP request.
#include "command_line.h"

#include "capture/recorded_request.h"

#include "capture/http_header.h"
#include "palisade/plandesk_configuration.h"
#include "serviceconfig/soap_analysis.h"
#include "serviceconfig/soap_header.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <memory>

namespace cli {
namespace {

struct RequestArgs {
  std::string request, header, body;
};

void AddRequestArgs(CLI::App* command, RequestArgs& args) {
  auto* request = command->add_option("REQUEST", args.request, "Recorded HTTP request (header, blank line, body)");
  auto* header = command->add_option("--header", args.header, "File holding the header text");
  auto* body = command->add_option("--body", args.body, "File holding the body bytes");
  request->excludes(header)->excludes(body);
  header->needs(body);
  body->needs(header);
}

bool Load(const RequestArgs& args, capture::RecordedRequest& request) {
  std::string error;
  const bool loaded = args.request.empty() ? capture::LoadRequestParts(args.header, args.body, request, error)
                                           : capture::LoadRecordedRequest(args.request, request, error);
  if (!loaded) Fail(error.empty() ? std::string("no request given") : error);
  return loaded;
}

OsStrBin ToBody(const std::string& bytes) {
  OsStrBin body;
  xfvOsStrConstructFromBytes(&body, bytes.data(), bytes.size());
  return body;
}

// The binding, the password's type and the replay hazards of one request, its body loaded once.
int Analyze(const capture::RecordedRequest& request, bool showSecrets, bool json) {
  const analysis::Envelope envelope(request.body);
  void* passwordElement = nullptr;
  const ConfigurationTypes config = analysis::DeriveConfiguration(request.header, envelope, &passwordElement);
  capture::Url target;
  const bool targetKnown = capture::RequestTarget(request.header, target);
  const analysis::SoapHeaderFacts facts = analysis::ReadSoapHeader(envelope, targetKnown ? &target : nullptr);
  const std::string passwordType = analysis::PasswordType(envelope, passwordElement);
  const std::string& password = config.security.password;
  const std::string shown = showSecrets || password.empty() ? password : std::string("***");
  if (json) {
    nlohmann::ordered_json out;
    out["binding"] = {{"messageEncoding", config.messageEncoding},
                      {"transport", config.transport},
                      {"addressingVersion", config.addressingVersion},
                      {"authenticationMode", config.security.authenticationMode},
                      {"username", config.security.username},
                      {"password", shown}};
    out["passwordType"] = passwordType;
    out["hazards"] = nlohmann::ordered_json::array();
    for (const analysis::Hazard& hazard : facts.hazards) {
      out["hazards"].push_back({{"kind", hazard.kind}, {"detail", hazard.detail}});
    }
    // Texts from a recording need not be UTF-8: such bytes are replaced rather than refused.
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return kDone;
  }
  Print("messageEncoding", config.messageEncoding);
  Print("transport", config.transport);
  Print("addressingVersion", config.addressingVersion);
  Print("authenticationMode", config.security.authenticationMode);
  Print("username", config.security.username);
  Print("password", shown);
  Print("passwordType", passwordType);
  for (const analysis::Hazard& hazard : facts.hazards) Print("hazard", hazard.kind + " " + hazard.detail);
  return kDone;
}

}  // namespace

void AddAnalyzeCommands(CLI::App& app, Action& action) {
  auto analyzeArgs = std::make_shared<RequestArgs>();
  auto showSecrets = std::make_shared<bool>(false);
  auto json = std::make_shared<bool>(false);
  CLI::App* analyze = app.add_subcommand("analyze", "Derive the service binding of a recorded SOAP request");
  AddRequestArgs(analyze, *analyzeArgs);
  analyze->add_flag("--show-secrets", *showSecrets, "Print the password itself");
  analyze->add_flag("--json", *json, "Print one JSON object");
  analyze->callback([&action, analyzeArgs, showSecrets, json] {
    action = [analyzeArgs, showSecrets, json] {
      capture::RecordedRequest request;
      if (analyzeArgs->request.empty() && analyzeArgs->header.empty()) {
        Fail("give REQUEST or --header and --body");
        return int(kUsage);
      }
      if (!Load(*analyzeArgs, request)) return int(kFailed);
      return Analyze(request, *showSecrets, *json);
    };
  });

  struct ConfigureArgs {
    RequestArgs request;
    std::string service, port, script;
  };
  auto configureArgs = std::make_shared<ConfigureArgs>();
  CLI::App* configure = app.add_subcommand("configure", "Have the configuration component store the binding");
  AddRequestArgs(configure, configureArgs->request);
  configure->add_option("--service", configureArgs->service, "Service name")->required();
  configure->add_option("--port", configureArgs->port, "Port (binding) name")->required();
  configure->add_option("--script", configureArgs->script, "Script folder")->required();
  configure->callback([&action, configureArgs] {
    action = [configureArgs] {
      capture::RecordedRequest request;
      if (configureArgs->request.request.empty() && configureArgs->request.header.empty()) {
        Fail("give REQUEST or --header and --body");
        return int(kUsage);
      }
      if (!Load(configureArgs->request, request)) return int(kFailed);
      PlanDeskConfiguration configuration;
      std::string configurationFile;
      const bool stored = configuration.UpdateServiceConfiguration(
          configureArgs->service, configureArgs->port, configureArgs->script, request.header, ToBody(request.body),
          true, configurationFile);
      Print("stored", stored);
      // The library answers only yes or no; these are the usual reasons for a no.
      if (!stored) Fail("the binding was not stored (is the script folder there and writable?)");
      return int(stored ? kDone : kFailed);
    };
  });
}

}  // namespace cli
