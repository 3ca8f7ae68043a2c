// WsdlDataUtils: the WSDL recording options of "silverlight_ro.ini" and WSDL link discovery.
#pragma once

#include "palisade/export.h"

#include <string>

class PALISADE_API WsdlDataUtils {
 public:
  // With `isSilverLight`, reads the options at once; otherwise all three stay false until
  // ReadDataFromFile.
  explicit WsdlDataUtils(bool isSilverLight);
  WsdlDataUtils(const WsdlDataUtils& other);
  WsdlDataUtils& operator=(const WsdlDataUtils& other);
  virtual ~WsdlDataUtils();

  // Reads the three options anew; a file that cannot be read leaves them as they were.
  void ReadDataFromFile();
  bool IsAutoDetect();
  bool IsGenerateWebServiceCall();
  bool IsImportOnlyFromList();
  // Opens `mWsdlWebLocation` in a hidden browser and returns in `mUrl` the first link whose
  // address holds "?wsdl" or ".wsdl". true when the page loaded. Needs COM on the thread.
  bool ReadWsdlLink(std::string& mWsdlWebLocation, std::string& mUrl);

 private:
  void GetGeneralOptions();

  void* mConfigHandle;
  bool mAutoDetect;
  bool mGenerateWebServiceCall;
  bool mImportOnlyFromList;
};
