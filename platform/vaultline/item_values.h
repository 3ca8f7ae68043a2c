// The values of one list item, and the table that names them in files.
#pragma once

#include "win32/base.h"

#include <string>

namespace vaultline {

// Texts are kept in the ANSI code page, as the file holds them: a put of a character the code
// page lacks reads back as '?', in memory as after a reload. Flags keep the value put (1 stays 1),
// so the file round-trips it; VARIANT_TRUE is -1.
struct ItemValues {
  // The item's own properties.
  VARIANT_BOOL itemFlag = VARIANT_FALSE;
  std::string wsdlUrl;
  std::string itemName;
  std::string itemKey;
  std::string itemText;
  // Its connection settings.
  VARIANT_BOOL connectionFlag1 = VARIANT_FALSE;
  std::string connectionText1;
  std::string connectionText2;
  VARIANT_BOOL connectionFlag2 = VARIANT_FALSE;
  std::string connectionText3;
  LONG connectionNumber1 = 0;
  std::string proxyPortStr;
  std::string connectionText4;
  std::string connectionText5;
};

// One property as a file entry: its name and which member holds it (exactly one is set).
struct ItemField {
  const char* name;
  std::string ItemValues::*text;
  VARIANT_BOOL ItemValues::*flag;
  LONG ItemValues::*number;
};

// Every property, in the order items are written.
inline constexpr ItemField kItemFields[] = {
    {"WsdlUrl", &ItemValues::wsdlUrl, nullptr, nullptr},
    {"ItemKey", &ItemValues::itemKey, nullptr, nullptr},
    {"ItemName", &ItemValues::itemName, nullptr, nullptr},
    {"ItemText", &ItemValues::itemText, nullptr, nullptr},
    {"ItemFlag", nullptr, &ItemValues::itemFlag, nullptr},
    {"ConnectionFlag1", nullptr, &ItemValues::connectionFlag1, nullptr},
    {"ConnectionText1", &ItemValues::connectionText1, nullptr, nullptr},
    {"ConnectionText2", &ItemValues::connectionText2, nullptr, nullptr},
    {"ConnectionFlag2", nullptr, &ItemValues::connectionFlag2, nullptr},
    {"ConnectionText3", &ItemValues::connectionText3, nullptr, nullptr},
    {"ConnectionNumber1", nullptr, nullptr, &ItemValues::connectionNumber1},
    {"ProxyPortStr", &ItemValues::proxyPortStr, nullptr, nullptr},
    {"ConnectionText4", &ItemValues::connectionText4, nullptr, nullptr},
    {"ConnectionText5", &ItemValues::connectionText5, nullptr, nullptr},
};

}  // namespace vaultline
