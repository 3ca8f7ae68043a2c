// palisade: the library's jobs from the command line. Output is key=value lines on stdout, errors
// one line on stderr; exit 0 done, 1 failed, 2 not found, 64 usage.
#include "command_line.h"

#include "hostrt32/hostrt32.h"

#include <cstdio>
#include <iostream>

#ifndef PALISADE_VERSION
#define PALISADE_VERSION "0.0.0"
#endif

namespace cli {

void Print(const std::string& key, const std::string& value) { std::cout << key << '=' << value << '\n'; }
void Print(const std::string& key, bool value) { Print(key, std::string(value ? "true" : "false")); }
void Fail(const std::string& message) { std::cerr << "palisade: " << message << '\n'; }

}  // namespace cli

int main(int argc, char** argv) {
  CLI::App app{"Palisade: WSDL options, WSDL discovery, SOAP bindings and WSDL lists from the command line"};
  app.set_version_flag("--version", "palisade " PALISADE_VERSION);
  app.require_subcommand(1);
  std::string moduleDir;
  app.add_option("--module-dir", moduleDir,
                 "Directory reported as the module directory (its sibling \"dat\" holds silverlight_ro.ini); "
                 "default: the directory of this program")
      ->check(CLI::ExistingDirectory);

  cli::Action action;
  cli::AddOptionsCommand(app, action);
  cli::AddAnalyzeCommands(app, action);
  cli::AddDecodeCommand(app, action);
  cli::AddEncodeCommand(app, action);
  cli::AddFindWsdlCommand(app, action);
  cli::AddPersistenceCommands(app, action);
#if defined(PALISADE_HAVE_CAPTURE)
  cli::AddCaptureCommand(app, action);
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return cli::kUsage;
  }
  if (!moduleDir.empty()) os_set_module_dir_name(moduleDir.c_str());
  try {
    return action ? action() : cli::kUsage;
  } catch (const std::exception& e) {
    cli::Fail(e.what());
    return cli::kFailed;
  }
}
