#include "cli/json_output.h"

namespace cli {

std::string OutcomeJson(const pages::Outcome& outcome) {
  std::string out = "{\"ok\":";
  out += outcome.ok ? "true" : "false";
  out += ",\"message\":" + JsonString(outcome.message);
  // A refused input names the option it came from.
  if (outcome.Refusal()) out += ",\"option\":" + JsonString("--" + outcome.field);
  if (!outcome.detail.empty()) out += ",\"detail\":" + JsonString(outcome.detail);
  // The values, then the lists of objects beside them.
  std::string values = ValuesJson(outcome.values);
  for (const auto& [name, items] : outcome.lists) {
    values.pop_back();
    if (values.size() > 1) values.push_back(',');
    values += JsonString(name) + ":[";
    for (size_t i = 0; i < items.size(); ++i) values += (i > 0 ? "," : "") + ValuesJson(items[i]);
    values += "]}";
  }
  out += ",\"values\":" + values;
  out += "}";
  return out;
}

}  // namespace cli
