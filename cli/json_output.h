#pragma once
// The one JSON object tool-cli prints for a command: {"ok":..,"message":"..","values":{..}}.
#include <string>
#include <string_view>

#include "pages/kit/command_table.h"

namespace cli {

// A JSON string literal, quotes included. UTF-8 text stays as it is; control characters,
// quotes and backslashes are escaped; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);
// A value with its JSON type: true/false, a number (NaN and infinities as null), a string.
std::string JsonValue(const pages::Value& value);
// {"name":value,...}; a value named "group.key" goes into the object "group"
// ("a.b.c": {"a":{"b":{"c":..}}}).
std::string ValuesJson(const pages::Values& values);
// The outcome with its values, and the lists of objects beside them.
std::string OutcomeJson(const pages::Outcome& outcome);

}  // namespace cli
