// palisade wsdl / wsdl-ini / errors: the persistent WSDL lists.
#include "command_line.h"

namespace cli {

void AddPersistenceCommands(CLI::App&, Action&) {}

}  // namespace cli
