// The records that cross the exported interface. Callers create and own them; the members and
// their order are part of the interface.
#pragma once

#include <string>

// One WSDL entry, filled by SilverlightObjectsManagement::GetWsdlData.
struct WsdlData {
  std::string wsdlUrl;
  bool connectionFlag1 = false;
  std::string connectionText1;
  std::string connectionText2;
  bool connectionFlag2 = false;
  std::string connectionText3;
  std::string proxyPortStr;
  std::string connectionText4;
  std::string connectionText5;
};

// One failed-WSDL entry: the WSDL entry, then whether a look-up found it, its endpoint (the key)
// and the text stored with it.
struct WsdlErrorData : WsdlData {
  bool entryFound = false;
  std::string endPoint;
  std::string errorText;
};
