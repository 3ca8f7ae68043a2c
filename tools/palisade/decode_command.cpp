// palisade decode: the body of a recorded request as XML.
#include "command_line.h"

namespace cli {

void AddDecodeCommand(CLI::App&, Action&) {}

}  // namespace cli
