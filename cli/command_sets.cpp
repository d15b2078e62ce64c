// The page families whose command tables tool-cli offers. A family adds one line below (and its
// command-module library to CLI_COMMAND_MODULES in cli/CMakeLists.txt), for example:
//   #include "pages/settings/settings_commands.h"
//   sets.push_back(settings::Commands());
// Argument names of a verb must not be one of the connection options (port, tcp, address,
// delay, baud); the page name "raw" is taken.
#include "cli/cli.h"
#include "pages/property/property_commands.h"
#include "pages/settings/settings_commands.h"
#include "pages/property2/property2_commands.h"
#include "pages/chiller/chiller_commands.h"

namespace cli {

std::vector<pages::CommandSet> CommandSets() {
  std::vector<pages::CommandSet> sets;
  sets.push_back(pages::property::Commands());
  sets.push_back(pages::settings::Commands());
  sets.push_back(pages::property2::Commands());
  sets.push_back(pages::chiller::Commands());
  return sets;
}

}  // namespace cli
