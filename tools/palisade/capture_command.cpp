// palisade capture: the service bindings of a whole recorded session.
#include "command_line.h"

#include "capture/session_reader.h"
#include "palisade/plandesk_configuration.h"
#include "session_analysis.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <memory>

namespace cli {
namespace {

struct CaptureArgs {
  std::string session, script;
  bool json = false, showSecrets = false;
};

std::string Shown(const std::string& password, bool showSecrets) {
  return showSecrets || password.empty() ? password : std::string("***");
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : ",") + part;
  return joined;
}

void PrintLines(const capture::SessionReport& report, bool showSecrets) {
  for (const capture::ServiceBinding& b : report.services) {
    Print("endpoint", b.endpoint);
    Print("service", b.service);
    Print("port", b.port);
    Print("messageEncoding", b.config.messageEncoding);
    Print("addressingVersion", b.config.addressingVersion);
    Print("authenticationMode", b.config.security.authenticationMode);
    Print("username", b.config.security.username);
    Print("password", Shown(b.config.security.password, showSecrets));
    Print("requests", std::to_string(b.entries.size()));
    Print("entries", Joined(b.entries));
    std::vector<std::string> hazards;
    for (const auto& [kind, requests] : b.hazards) hazards.push_back(kind + ":" + std::to_string(requests));
    Print("hazards", Joined(hazards));
    std::cout << '\n';
  }
  for (const capture::SkippedRequest& s : report.skipped) {
    Print("skipped", s.entry);
    Print("url", s.url);
    Print("reason", s.reason);
    std::cout << '\n';
  }
  Print("other", std::to_string(report.other));
}

void PrintJson(const capture::SessionReport& report, bool showSecrets) {
  nlohmann::ordered_json out;
  out["services"] = nlohmann::ordered_json::array();
  for (const capture::ServiceBinding& b : report.services) {
    out["services"].push_back({{"endpoint", b.endpoint},
                               {"service", b.service},
                               {"port", b.port},
                               {"messageEncoding", b.config.messageEncoding},
                               {"addressingVersion", b.config.addressingVersion},
                               {"authenticationMode", b.config.security.authenticationMode},
                               {"username", b.config.security.username},
                               {"password", Shown(b.config.security.password, showSecrets)},
                               {"requests", b.entries.size()},
                               {"entries", b.entries},
                               {"hazards", nlohmann::ordered_json::array()}});
    for (const auto& [kind, requests] : b.hazards) {
      out["services"].back()["hazards"].push_back({{"kind", kind}, {"requests", requests}});
    }
  }
  out["skipped"] = nlohmann::ordered_json::array();
  for (const capture::SkippedRequest& s : report.skipped) {
    out["skipped"].push_back({{"entry", s.entry}, {"url", s.url}, {"reason", s.reason}});
  }
  out["other"] = report.other;
  // Texts from a recording need not be UTF-8: such bytes are replaced rather than refused.
  std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

// Stores one binding per service and port, as `configure` does; false when any was not stored.
bool Store(const capture::SessionReport& report, const std::string& script) {
  std::vector<std::string> warnings;
  const std::vector<const capture::ServiceBinding*> bindings = capture::BindingsToStore(report, warnings);
  for (const std::string& warning : warnings) Fail("warning: " + warning);
  PlanDeskConfiguration configuration;
  bool all = true;
  for (const capture::ServiceBinding* b : bindings) {
    OsStrBin body;
    xfvOsStrConstructFromBytes(&body, b->first.body.data(), b->first.body.size());
    std::string configurationFile;
    if (!configuration.UpdateServiceConfiguration(b->service, b->port, script, b->first.header, body, true,
                                                  configurationFile)) {
      Fail("the binding of " + b->endpoint + " was not stored as " + b->service + "/" + b->port);
      all = false;
    }
  }
  return all;
}

int Capture(const CaptureArgs& args) {
  capture::SessionAnalysis analysis(!args.script.empty());
  std::string error;
  if (!capture::ReadSession(args.session, [&](capture::SessionEntry&& e) { analysis.Add(std::move(e)); }, error)) {
    Fail(error);
    return kFailed;
  }
  const capture::SessionReport report = analysis.Finish();
  for (const std::string& warning : report.warnings) Fail("warning: " + warning);
  args.json ? PrintJson(report, args.showSecrets) : PrintLines(report, args.showSecrets);
  if (report.services.empty()) return kNotFound;
  if (!args.script.empty() && !Store(report, args.script)) return kFailed;
  return kDone;
}

}  // namespace

void AddCaptureCommand(CLI::App& app, Action& action) {
  auto args = std::make_shared<CaptureArgs>();
  CLI::App* command =
      app.add_subcommand("capture", "The service bindings of a recorded session (HAR, SAZ, Burp XML, a folder)");
  command->add_option("FILE", args->session, "Session file, or a folder of recorded requests")->required();
  command->add_flag("--json", args->json, "Print one JSON object");
  command->add_flag("--show-secrets", args->showSecrets, "Print the passwords themselves");
  command->add_option("--script", args->script, "Script folder: store every binding there, as configure does")
      ->check(CLI::ExistingDirectory);
  command->callback([&action, args] { action = [args] { return Capture(*args); }; });
}

}  // namespace cli
