// The `palisade` command: shared pieces of its subcommands.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace cli {

// Exit codes of every subcommand.
enum ExitCode : int { kDone = 0, kFailed = 1, kNotFound = 2, kUsage = 64 };

// A subcommand's action, run after parsing; returns the exit code.
using Action = std::function<int()>;

// Each group of subcommands registers itself here (one function per source file).
void AddOptionsCommand(CLI::App& app, Action& action);
void AddAnalyzeCommands(CLI::App& app, Action& action);   // analyze, configure
void AddDecodeCommand(CLI::App& app, Action& action);     // decode
void AddEncodeCommand(CLI::App& app, Action& action);     // encode
void AddFindWsdlCommand(CLI::App& app, Action& action);   // find-wsdl
void AddPersistenceCommands(CLI::App& app, Action& action);  // wsdl, wsdl-ini, errors
void AddCaptureCommand(CLI::App& app, Action& action);       // capture (not in the Windows build)

// Prints "key=value" on stdout.
void Print(const std::string& key, const std::string& value);
void Print(const std::string& key, bool value);
// One line on stderr.
void Fail(const std::string& message);

}  // namespace cli
