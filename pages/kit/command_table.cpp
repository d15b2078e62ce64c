#include "pages/kit/command_table.h"

namespace pages {

const CommandDef* CommandSet::Find(std::string_view verb) const {
  for (const CommandDef& def : commands) {
    if (def.verb == verb) return &def;
  }
  return nullptr;
}

Outcome RunVerb(const CommandDef& def, devlink::Channel& channel,
                const std::map<std::string, std::string>& given) {
  auto parsed = ParseArgs(def.args, given);
  if (auto* refusal = std::get_if<Outcome>(&parsed)) return std::move(*refusal);
  return def.run(channel, std::get<Args>(parsed));
}

}  // namespace pages
