// Saves a WSDL entry and reads it back through the installed library and its installed
// persist-objects component, found through the installed class registry.
#include "palisade/silverlight_objects_management.h"
#include "palisade/wsdl_data_utils.h"

#include "hostrt32/hostrt32.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  os_set_module_dir_name(argv[1]);  // its sibling "dat" holds silverlight_ro.ini
  WsdlDataUtils options(true);
  SilverlightObjectsManagement lists;
  WsdlData entry;
  const bool saved = lists.SaveWsdlData("Catalog", "http://example.com/catalog.svc?wsdl");
  const bool found = lists.GetWsdlData("Catalog", entry);
  std::printf("autodetect=%d saved=%d found=%d url=%s\n", options.IsAutoDetect(), saved, found, entry.wsdlUrl.c_str());
  return saved && found && entry.wsdlUrl == "http://example.com/catalog.svc?wsdl" && options.IsAutoDetect() ? 0 : 1;
}
