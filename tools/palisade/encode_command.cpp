// palisade encode: XML written back in the binary encoding, so that a binary request edited as
// text (palisade decode) can be sent again.
#include "command_line.h"

#include "capture/http_header.h"
#include "capture/recorded_request.h"
#include "hostrt32/os_files.h"

#include "nbfx_decoder.h"
#include "soapkit/msbin1.h"

#include <memory>

namespace cli {
namespace {

struct EncodeArgs {
  std::string input, output;
  bool request = false;
};

constexpr std::size_t kMaxXmlBytes = std::size_t(1) << 30;

// The body in the binary encoding; false, having said why, when it cannot be.
bool EncodeBody(const std::string& text, std::string& binary) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (soapkit::nbfx::LooksBinary(bytes, text.size())) {
    Fail("the body is binary already");
    return false;
  }
  std::string error;
  if (!soapkit::EncodeTextBody(bytes, text.size(), binary, error)) {
    Fail("the body cannot be encoded: " + error);
    return false;
  }
  return true;
}

// The recorded request with its body encoded. The body was read unchunked, so the length is known
// and the transfer encoding goes; the action that a text SOAP 1.2 Content-Type carries goes with it,
// as binary requests carry it in their wsa:Action header.
bool EncodeRequest(const std::string& path, std::string& out) {
  capture::RecordedRequest request;
  std::string error, body;
  if (!capture::LoadRecordedRequest(path, request, error)) {
    Fail(error);
    return false;
  }
  if (!EncodeBody(request.body, body)) return false;
  std::string header = capture::RemoveHeader(request.header, "Transfer-Encoding");
  header = capture::ReplaceHeader(header, "Content-Type", "application/soap+msbin1");
  header = capture::ReplaceHeader(header, "Content-Length", std::to_string(body.size()));
  const char* eol = header.find("\r\n") != std::string::npos ? "\r\n" : "\n";  // as its lines end
  out = header + eol + eol + body;
  return true;
}

// Writes the whole of `bytes` to `path`, or to stdout when no path is named. Nothing is written
// on failure: a file is replaced only once all of it is on disk.
int Write(const std::string& path, const std::string& bytes) {
  if (!path.empty() && path != "-") {
    if (const hostrt::FileError written = hostrt::ReplaceFileAtomically(path, bytes, 0644)) {
      Fail(written.text);
      return kFailed;
    }
    return kDone;
  }
  if (hostrt::StandardOutputIsTerminal()) {
    Fail("binary output is not written to a terminal: name a file with -o, or redirect stdout");
    return kUsage;
  }
  if (const hostrt::FileError written = hostrt::WriteStandardOutput(bytes)) {
    Fail(written.text);
    return kFailed;
  }
  return kDone;
}

int Encode(const EncodeArgs& args) {
  std::string out;
  if (args.request) {
    if (!EncodeRequest(args.input, out)) return kFailed;
  } else {
    std::string text;
    if (const hostrt::FileError read = hostrt::ReadWholeFile(args.input, text, kMaxXmlBytes)) {
      Fail(read.text);
      return kFailed;
    }
    if (!EncodeBody(text, out)) return kFailed;
  }
  return Write(args.output, out);
}

}  // namespace

void AddEncodeCommand(CLI::App& app, Action& action) {
  auto args = std::make_shared<EncodeArgs>();
  CLI::App* encode = app.add_subcommand("encode", "Write XML in the binary encoding (application/soap+msbin1)");
  encode->add_option("FILE", args->input, "XML document, or with --request a recorded HTTP request")->required();
  encode->add_flag("--request", args->request,
                   "FILE is a recorded request with a text body: write it with the body encoded and its header to match");
  encode->add_option("-o,--output", args->output, "Write to this file (replaced whole) instead of stdout");
  encode->callback([&action, args] { action = [args] { return Encode(*args); }; });
}

}  // namespace cli
