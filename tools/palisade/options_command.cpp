// palisade options: the three WSDL recording options.
#include "command_line.h"

#include "palisade/wsdl_data_utils.h"

namespace cli {

void AddOptionsCommand(CLI::App& app, Action& action) {
  CLI::App* options = app.add_subcommand("options", "Print the WSDL recording options of dat/silverlight_ro.ini");
  options->callback([&action] {
    action = [] {
      WsdlDataUtils utils(true);
      Print("AutoDetectMode", utils.IsAutoDetect());
      Print("GenerateWebServiceCall", utils.IsGenerateWebServiceCall());
      Print("ImportWsdlOnlyFromList", utils.IsImportOnlyFromList());
      return kDone;
    };
  });
}

}  // namespace cli
