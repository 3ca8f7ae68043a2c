#include "palisade/wsdl_data_utils.h"

bool WsdlDataUtils::ReadWsdlLink(std::string&, std::string& mUrl) {
  mUrl.clear();
  return false;
}
