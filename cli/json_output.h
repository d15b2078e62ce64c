#pragma once
// The one JSON object tool-cli prints for a command: {"ok":..,"message":"..","values":{..}}.
#include <string>
#include <string_view>

#include "pages/kit/command_table.h"
#include "pages/kit/json.h"

namespace cli {

using pages::JsonString;
using pages::JsonValue;
using pages::ValuesJson;

// The outcome with its values, and the lists of objects beside them.
std::string OutcomeJson(const pages::Outcome& outcome);

}  // namespace cli
