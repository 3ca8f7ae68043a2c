// The command line end to end: what each job prints, its exit status, and one line on stderr when
// it fails.
#include "session_files.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Outcome Palisade(const std::vector<std::string>& args) {
  TempDir scratch;
  std::string command = Quoted(PALISADE_CLI);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  const std::string errFile = scratch.str() + "/stderr";
  command += " 2>" + Quoted(errFile);
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.out.append(buffer, n);
  const int wait = pclose(pipe);
  outcome.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  outcome.err = ReadFile(errFile);
  return outcome;
}

std::string Sample(const std::string& relative) { return std::string(SAMPLES_DIR) + "/" + relative; }

TEST(Cli, HelpVersionAndUsageErrors) {
  EXPECT_EQ(Palisade({"--version"}).status, 0);
  EXPECT_NE(Palisade({"--version"}).out.find("palisade "), std::string::npos);
  EXPECT_EQ(Palisade({"--help"}).status, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"bogus"}, {"analyze"}, {"configure", Sample("requests/soap11-plain.http")},
        {"wsdl", "get"}, {"errors", "save", "/tmp", "--url", "u"}}) {
    const Outcome outcome = Palisade(args);
    EXPECT_EQ(outcome.status, 64) << (args.empty() ? "(none)" : args[0]);
    EXPECT_FALSE(outcome.err.empty()) << (args.empty() ? "(none)" : args[0]);
  }
}

TEST(Cli, AnalysesEachSampleRequest) {
  const struct {
    const char* request;
    const char* expected;
  } cases[] = {
      {"soap11-plain.http",
       "messageEncoding=textMessageEncoding\ntransport=KvHttpEngineTransport\naddressingVersion=None\n"
       "authenticationMode=\nusername=\npassword=\npasswordType=\n"},
      {"soap11-wsa2004-digest.http",
       "messageEncoding=textMessageEncoding\ntransport=KvHttpEngineTransport\naddressingVersion=WSAddressingAugust2004\n"
       "authenticationMode=UserNameOverTransport\nusername=orders-batch\npassword=***\npasswordType=PasswordDigest\n"
       "hazard=message-id urn:uuid:0a7d4c1b-9e2f-4f3a-8b6c-5d4e3f2a1b0c\n"
       "hazard=timestamp created=2026-11-30T10:02:41Z expires=2026-11-30T10:07:41Z window=300s\n"
       "hazard=digest clear password needed\nhazard=nonce Jm4tR2xQ8dF1sV7bN0cW6g==\n"},
      {"wcf-soap12-usernametoken.http",
       "messageEncoding=textMessageEncoding\ntransport=KvHttpEngineTransport\naddressingVersion=\n"
       "authenticationMode=UserNameOverTransport\nusername=j.doe\npassword=***\npasswordType=PasswordText\n"
       "hazard=message-id urn:uuid:6f1c2a8e-3b7d-4e52-9a0f-1d2c3b4a5e6f\n"
       "hazard=timestamp created=2026-11-30T09:14:02.117Z expires=2026-11-30T09:19:02.117Z window=300s\n"},
      {"wcf-binary-usernametoken.http",
       "messageEncoding=binaryMessageEncoding\ntransport=KvHttpEngineTransport\naddressingVersion=\n"
       "authenticationMode=UserNameOverTransport\nusername=j.doe\npassword=***\npasswordType=PasswordText\n"
       "hazard=message-id urn:uuid:6f1c2a8e-3b7d-4e52-9a0f-1d2c3b4a5e6f\n"
       "hazard=timestamp created=2026-11-30T09:14:02.117Z expires=2026-11-30T09:19:02.117Z window=300s\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Palisade({"analyze", Sample(std::string("requests/") + c.request)});
    EXPECT_EQ(outcome.status, 0) << c.request;
    EXPECT_EQ(outcome.out, c.expected) << c.request;
  }
}

TEST(Cli, UnreadableBodiesFailWithOneLine) {
  TempDir dir;
  const struct {
    const char* name;
    std::string request;
    std::vector<std::string> args;
  } cases[] = {
      {"cut-off binary body", "POST / HTTP/1.1\r\nContent-Type: application/soap+msbin1\r\n\r\nV\x02\x0b", {"decode"}},
      {"not XML", "POST / HTTP/1.1\r\nContent-Type: text/xml\r\n\r\nhello", {"decode"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back(dir.Write(std::string(c.name) + ".http", c.request));
    const Outcome outcome = Palisade(args);
    EXPECT_EQ(outcome.status, 1) << c.name;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << c.name << ": " << outcome.err;
  }
  const Outcome missing = Palisade({"analyze", dir.str() + "/missing.http"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
}

TEST(Cli, UndoesChunkingAndRefusesCompressedBodies) {
  TempDir dir;
  const std::string plain = ReadFile(Sample("requests/soap11-wsa2004-digest.http"));
  const std::size_t split = plain.find("\r\n\r\n");
  ASSERT_NE(split, std::string::npos);
  const std::string header = plain.substr(0, split + 2), body = plain.substr(split + 4);
  const std::string expected = Palisade({"analyze", Sample("requests/soap11-wsa2004-digest.http")}).out;
  std::string chunks;
  for (std::size_t at = 0; at < body.size(); at += 100) {
    const std::string piece = body.substr(at, 100);
    char size[16];
    std::snprintf(size, sizeof size, "%zX", piece.size());
    chunks += std::string(size) + (at == 0 ? ";ext=1" : "") + "\r\n" + piece + "\r\n";
  }
  std::string lfHeader = header;
  for (std::size_t at; (at = lfHeader.find("\r\n")) != std::string::npos;) lfHeader.erase(at, 1);
  const struct {
    const char* name;
    std::string request;
    int status;
  } cases[] = {
      {"chunked", header + "Transfer-Encoding: chunked\r\n\r\n" + chunks + "0\r\n\r\n", 0},
      {"chunked, header name in lower case", header + "transfer-encoding:  Chunked\r\n\r\n" + chunks + "0\r\n\r\n", 0},
      {"chunks cut off", header + "Transfer-Encoding: chunked\r\n\r\n" + chunks.substr(0, chunks.size() / 2), 1},
      {"a chunk longer than its size", header + "Transfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", 1},
      {"no size", header + "Transfer-Encoding: chunked\r\n\r\n" + body, 1},
      {"gzip", header + "Content-Encoding: gzip\r\n\r\n\x1f\x8b\x08", 1},
      {"gzip as a transfer coding", header + "Transfer-Encoding: gzip, chunked\r\n\r\n" + chunks + "0\r\n\r\n", 1},
      {"chunked, a blank before the colon", header + "Transfer-Encoding : chunked\r\n\r\n" + chunks + "0\r\n\r\n", 0},
      {"LF lines, a CRLF blank line", lfHeader + "\r\n" + body, 0},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Palisade({"analyze", dir.Write(std::string(c.name) + ".http", c.request)});
    EXPECT_EQ(outcome.status, c.status) << c.name << ": " << outcome.err;
    if (c.status == 0) {
      EXPECT_EQ(outcome.out, expected) << c.name;
    }
  }
}

// Options files as people write them; the module directory's sibling dat/ holds the file.
TEST(Cli, ReadsHandWrittenOptionsFiles) {
  const struct {
    const char* name;
    std::string ini;
    const char* expected;
  } cases[] = {
      {"CRLF, comments, blanks around =",
       "; options\r\n[GENERAL]\r\n; detect\r\nAutoDetectMode = Yes\r\nGenerateWebServiceCall=oN\r\nImportWsdlOnlyFromList=0.5\r\n",
       "AutoDetectMode=true\nGenerateWebServiceCall=true\nImportWsdlOnlyFromList=false\n"},
      {"byte-order mark, upper-case names",
       "\xEF\xBB\xBF[general]\nAUTODETECTMODE=on\nimportwsdlonlyfromlist=1\n",
       "AutoDetectMode=true\nGenerateWebServiceCall=false\nImportWsdlOnlyFromList=true\n"},
      {"leading blank in the value", "[GENERAL]\nAutoDetectMode= true\n",
       "AutoDetectMode=true\nGenerateWebServiceCall=false\nImportWsdlOnlyFromList=false\n"},
      {"no such section", "[OTHER]\nAutoDetectMode=Yes\n",
       "AutoDetectMode=false\nGenerateWebServiceCall=false\nImportWsdlOnlyFromList=false\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("dat/silverlight_ro.ini", c.ini);
    std::filesystem::create_directories(dir.path() / "bin");
    const Outcome outcome = Palisade({"--module-dir", dir.str() + "/bin", "options"});
    EXPECT_EQ(outcome.status, 0) << c.name;
    EXPECT_EQ(outcome.out, c.expected) << c.name;
  }
}

// The browser's start reaches the person running the command only when it runs without its sandbox.
TEST(Cli, FindWsdlSaysInOneLineWhenTheBrowserRunsWithoutItsSandbox) {
  const char* chosen = std::getenv("PALISADE_BROWSER");
  const std::string browser = chosen && *chosen ? chosen : "/usr/bin/chromium";
  if (access(browser.c_str(), X_OK) != 0) GTEST_SKIP() << "no browser at " << browser;
  const struct {
    const char* sandbox;  // PALISADE_BROWSER_SANDBOX
    const char* err;
  } cases[] = {
      {"", ""},
      {"off", "palisade: the browser runs without its sandbox, as "},
  };
  for (const auto& c : cases) {
    testing_support::SetEnv("PALISADE_BROWSER_SANDBOX", c.sandbox);
    const Outcome outcome = Palisade({"find-wsdl", Sample("pages/Service.asmx.html")});
    testing_support::UnsetEnv("PALISADE_BROWSER_SANDBOX");
    EXPECT_EQ(outcome.status, 0) << c.sandbox;
    EXPECT_EQ(outcome.out, "loaded=true\nwsdl=file://" + Sample("pages/Service.asmx?wsdl") + "\n") << c.sandbox;
    EXPECT_EQ(outcome.err.substr(0, std::strlen(c.err)), c.err) << c.sandbox;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), *c.err ? 1 : 0) << outcome.err;
  }
}

TEST(Cli, ConfiguresAndKeepsLists) {
  TempDir dir;
  const Outcome stored = Palisade({"configure", Sample("requests/soap11-wsa2004-digest.http"), "--service", "Inventory",
                              "--port", "Basic", "--script", dir.str()});
  EXPECT_EQ(stored.status, 0);
  EXPECT_EQ(stored.out, "stored=true\n");
  EXPECT_NE(ReadFile(dir.str() + "/Inventory.config").find("addressingVersion=\"WSAddressingAugust2004\""),
            std::string::npos);

  EXPECT_EQ(Palisade({"errors", "save", dir.str(), "--endpoint", "http://h/s", "--url", "http://h/s?wsdl"}).status, 0);
  const Outcome found = Palisade({"errors", "get", dir.str(), "http://h/s"});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out, "wsdlUrl=http://h/s?wsdl\nendPoint=http://h/s\nerrorText=\nentryFound=true\n");
  EXPECT_EQ(Palisade({"errors", "get", dir.str(), "http://h/other"}).status, 2);
  // Nowhere to save: the command says so rather than reporting a save.
  const Outcome nowhere = Palisade({"errors", "save", dir.str() + "/missing", "--endpoint", "e"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_FALSE(nowhere.err.empty());
}

// A session through the real configuration component: one file per service, a binding per port,
// and nothing at all written when the session cannot be read.
TEST(Cli, CaptureStoresEveryService) {
  using session_files::HarRequest;
  const std::string har = session_files::Har(
      {HarRequest(session_files::Sample("wcf-soap12-usernametoken.http"), "https://catalog.example.com/CatalogService.svc"),
       HarRequest(session_files::Sample("soap11-wsa2004-digest.http"), "http://orders.example.com/OrderService.asmx"),
       HarRequest(session_files::Sample("soap11-wsa2004-digest.http"), "http://orders.example.com/OrderService.asmx")});
  TempDir dir, script;
  const Outcome stored = Palisade({"capture", dir.Write("s.har", har), "--script", script.str()});
  EXPECT_EQ(stored.status, 0) << stored.err;
  EXPECT_NE(stored.out.find("requests=2\nentries=1,2\n"), std::string::npos) << stored.out;
  const std::string catalog = ReadFile(script.str() + "/CatalogService.config");
  EXPECT_NE(catalog.find("<binding name=\"CustomBinding_ICatalogService\">"), std::string::npos) << catalog;
  EXPECT_NE(catalog.find("userName=\"j.doe\""), std::string::npos) << catalog;
  const std::string orders = ReadFile(script.str() + "/OrderService.config");
  EXPECT_NE(orders.find("addressingVersion=\"WSAddressingAugust2004\""), std::string::npos) << orders;

  EXPECT_NE(stored.out.find("hazards=message-id:2,timestamp:2,digest:2,nonce:2\n"), std::string::npos) << stored.out;
  const Outcome json = Palisade({"capture", "--json", dir.str() + "/s.har"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"password\": \"***\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("{\n          \"kind\": \"nonce\",\n          \"requests\": 2\n        }"), std::string::npos)
      << json.out;
  const Outcome analyzed = Palisade({"analyze", "--json", "--show-secrets", Sample("requests/soap11-wsa2004-digest.http")});
  EXPECT_EQ(analyzed.status, 0);
  EXPECT_NE(analyzed.out.find("\"password\": \"q8Xn2Vh0oD3yWm1JcT5pLr9KzA4=\""), std::string::npos) << analyzed.out;
  EXPECT_NE(analyzed.out.find("\"passwordType\": \"PasswordDigest\""), std::string::npos) << analyzed.out;
  EXPECT_NE(analyzed.out.find("\"kind\": \"digest\""), std::string::npos) << analyzed.out;

  TempDir untouched;
  const Outcome cut = Palisade({"capture", dir.Write("cut.har", har.substr(0, har.size() - 40)), "--script",
                                untouched.str()});
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(std::count(cut.err.begin(), cut.err.end(), '\n'), 1) << cut.err;
  EXPECT_TRUE(std::filesystem::is_empty(untouched.path()));

  const std::string page = session_files::Har(
      {HarRequest({"GET /index.html HTTP/1.1\r\nAccept: text/html", ""}, "https://catalog.example.com/")});
  const Outcome none = Palisade({"capture", dir.Write("page.har", page)});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "other=1\n");
}

// Text requests encoded read as their text twins with the binary encoding; a binary request decoded
// and encoded again reads as it was; nothing is written when encoding fails.
TEST(Cli, EncodesRequestsBackToBinary) {
  TempDir dir;
  for (const char* name : {"soap11-plain.http", "soap11-wsa2004-digest.http", "wcf-soap12-usernametoken.http"}) {
    const std::string text = Sample(std::string("requests/") + name), out = dir.str() + "/" + name;
    const Outcome encoded = Palisade({"encode", "--request", text, "-o", out});
    ASSERT_EQ(encoded.status, 0) << name << ": " << encoded.err;
    std::string expected = Palisade({"analyze", text}).out;
    expected.replace(expected.find("textMessageEncoding"), 19, "binaryMessageEncoding");
    EXPECT_EQ(Palisade({"analyze", out}).out, expected) << name;
    const std::string request = ReadFile(out);
    const std::size_t split = request.find("\r\n\r\n");
    ASSERT_NE(split, std::string::npos) << name;
    EXPECT_NE(request.find("\r\nContent-Type: application/soap+msbin1\r\n"), std::string::npos) << name;
    EXPECT_NE(request.find("\r\nContent-Length: " + std::to_string(request.size() - split - 4) + "\r\n"),
              std::string::npos) << name;
  }

  // A header of the request line alone gets its new lines and its blank line with one line end.
  const std::string bare = dir.str() + "/bare.http";
  ASSERT_EQ(Palisade({"encode", "--request", dir.Write("bare-text.http", "POST /s HTTP/1.1\r\n\r\n<a>1</a>"), "-o", bare})
                .status, 0);
  const std::string bareRequest = ReadFile(bare);
  EXPECT_EQ(bareRequest.substr(0, bareRequest.find("\r\n\r\n") + 4),
            "POST /s HTTP/1.1\r\nContent-Type: application/soap+msbin1\r\nContent-Length: " +
                std::to_string(bareRequest.size() - bareRequest.find("\r\n\r\n") - 4) + "\r\n\r\n");

  const std::string binary = Sample("requests/wcf-binary-usernametoken.http");
  const std::string original = ReadFile(binary);
  const std::string header = original.substr(0, original.find("\r\n\r\n") + 4);
  const std::string xml = dir.Write("body.xml", Palisade({"decode", "--raw", binary}).out);
  const std::string edited = dir.Write("edited.http", header + ReadFile(xml));
  const std::string again = dir.str() + "/again.http";
  ASSERT_EQ(Palisade({"encode", "--request", edited, "-o", again}).status, 0);
  for (const char* command : {"analyze", "decode"}) {
    EXPECT_EQ(Palisade({command, again}).out, Palisade({command, binary}).out) << command;
  }
  const Outcome body = Palisade({"encode", xml});
  EXPECT_EQ(body.status, 0);
  const std::string request = ReadFile(again);
  EXPECT_EQ(body.out, request.substr(request.find("\r\n\r\n") + 4));

  const struct {
    const char* name;
    std::vector<std::string> args;
  } refusals[] = {
      {"binary already", {"--request", binary}},
      {"not XML", {"--request", dir.Write("text.http", "POST / HTTP/1.1\r\nContent-Type: text/xml\r\n\r\nhello")}},
      {"DOCTYPE", {dir.Write("dtd.xml", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>")}},
      {"missing", {dir.str() + "/missing.xml"}},
  };
  const std::string kept = dir.Write("kept.bin", "old");
  for (const auto& c : refusals) {
    std::vector<std::string> args = {"encode", "-o", kept};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome refused = Palisade(args);
    EXPECT_EQ(refused.status, 1) << c.name;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << c.name << ": " << refused.err;
    EXPECT_EQ(ReadFile(kept), "old") << c.name;
  }

  // Binary bytes are not sent to a terminal.
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(grantpt(terminal), 0);
  ASSERT_EQ(unlockpt(terminal), 0);
  const std::string command = Quoted(PALISADE_CLI) + " encode " + Quoted(xml) + " >" + ptsname(terminal) + " 2>/dev/null";
  const int status = std::system(command.c_str());
  close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 64) << status;
}

}  // namespace
