// The namespace names the analysis and the Header walk compare with, whole, as published.
#pragma once

namespace analysis {

inline constexpr char kWsAddressing10[] = "http://www.w3.org/2005/08/addressing";
inline constexpr char kWsAddressingAugust2004[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr char kWsSecurityExtension[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr char kWsSecurityUtility[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";

}  // namespace analysis
