// palisade decode: the body of a recorded request as XML, so that a person can read binary traffic.
#include "command_line.h"

#include "capture/recorded_request.h"

#include "nbfx_decoder.h"
#include "soapkit/soap_reader.h"

#include <pugixml.hpp>

#include <iostream>
#include <memory>

namespace cli {
namespace {

struct DecodeArgs {
  std::string request;
  bool raw = false;
};

int Decode(const DecodeArgs& args) {
  capture::RecordedRequest request;
  std::string error;
  if (!capture::LoadRecordedRequest(args.request, request, error)) {
    Fail(error);
    return kFailed;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(request.body.data());
  if (!soapkit::nbfx::LooksBinary(bytes, request.body.size())) {
    // A text body is shown as it was sent, once the reader that the analysis uses accepts it.
    OsStrBin body;
    xfvOsStrConstructFromBytes(&body, request.body.data(), request.body.size());
    CSoapReader reader(65538);
    if (!reader.load(body)) {
      Fail("the body is neither binary XML nor a well-formed XML document");
      return kFailed;
    }
    std::cout << request.body;
    if (!request.body.empty() && request.body.back() != '\n') std::cout << '\n';
    return kDone;
  }
  pugi::xml_document document;
  const soapkit::nbfx::DecodeResult decoded = soapkit::nbfx::Decode(bytes, request.body.size(), document);
  if (!decoded.ok) {
    Fail("the binary body cannot be decoded: " + decoded.error);
    return kFailed;
  }
  // Indented for reading; --raw keeps the exact characters, which indentation would add to.
  const unsigned format = pugi::format_no_declaration | (args.raw ? pugi::format_raw : pugi::format_indent);
  document.save(std::cout, "  ", format);
  if (args.raw) std::cout << '\n';
  return kDone;
}

}  // namespace

void AddDecodeCommand(CLI::App& app, Action& action) {
  auto args = std::make_shared<DecodeArgs>();
  CLI::App* decode = app.add_subcommand("decode", "Print the body of a recorded request as XML (binary bodies decoded)");
  decode->add_option("REQUEST", args->request, "Recorded HTTP request (header, blank line, body)")->required();
  decode->add_flag("--raw", args->raw, "Print the decoded characters exactly, without indentation");
  decode->callback([&action, args] { action = [args] { return Decode(*args); }; });
}

}  // namespace cli
