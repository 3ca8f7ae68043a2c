// What a recorded request's SOAP Header says beyond its binding, read by namespace and local name
// through the same tree interface as the analysis, so a binary body reads exactly as its text twin.
// Not used by the exported classes.
#pragma once

#include "serviceconfig/soap_analysis.h"

#include <string>

namespace analysis {

struct SoapHeaderFacts {
  std::string action;  // the first WS-Addressing Action child of the Header (either namespace)
};

// Walks the Header (the Envelope's first child, as the analysis takes it) to any depth, without
// recursion; an Envelope without one gives nothing.
SoapHeaderFacts ReadSoapHeader(const Envelope& envelope);

}  // namespace analysis
