// What a recorded request's SOAP Header says beyond its binding: its action and what breaks the
// request when it is replayed as recorded. Read by namespace and local name through the same tree
// interface as the analysis, so a binary body reads exactly as its text twin. Not used by the
// exported classes.
#pragma once

#include "capture/http_header.h"
#include "serviceconfig/soap_analysis.h"

#include <memory>
#include <string>
#include <vector>

namespace analysis {

// One thing a replay script must regenerate or supply. Kinds: timestamp, nonce, digest, signature,
// message-id, to-mismatch.
struct Hazard {
  std::string kind, detail;
};

struct SoapHeaderFacts {
  std::string action;            // the first WS-Addressing Action child of the Header (either namespace)
  std::vector<Hazard> hazards;   // in document order
};

// Reads Header after Header, keeping its working memory from one to the next.
class SoapHeaderReader {
 public:
  // kWithout leaves every hazard's detail empty, for callers that count kinds.
  enum class Details { kWith, kWithout };
  explicit SoapHeaderReader(Details details = Details::kWith);
  ~SoapHeaderReader();
  SoapHeaderReader(const SoapHeaderReader&) = delete;
  SoapHeaderReader& operator=(const SoapHeaderReader&) = delete;
  // As ReadSoapHeader.
  SoapHeaderFacts Read(const Envelope& envelope, const capture::Url* target);

 private:
  class Reader;
  std::unique_ptr<Reader> reader_;
};

// Walks the Header (the Envelope's first child, as the analysis takes it) to any depth, without
// recursion; an Envelope without one gives nothing. `target` (NULL: unknown) is where the request
// was sent, which a WS-Addressing To must name.
SoapHeaderFacts ReadSoapHeader(const Envelope& envelope, const capture::Url* target);

// The fragment of the Type attribute of the password element the analysis found ("PasswordText",
// "PasswordDigest"); "PasswordText" without a Type, as the token profile has it; "" for none.
std::string PasswordType(const Envelope& envelope, void* passwordElement);

}  // namespace analysis
