#include "pages/kit/command_table.h"

namespace pages {

Outcome RunVerb(const CommandDef& def, devlink::Channel& channel,
                const std::map<std::string, std::string>& given) {
  auto parsed = ParseArgs(def.args, given);
  if (auto* refusal = std::get_if<Outcome>(&parsed)) return std::move(*refusal);
  return def.run(channel, std::get<Args>(parsed));
}

}  // namespace pages
