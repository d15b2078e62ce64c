#include "cli/json_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <vector>

#include "link/utf8.h"

namespace cli {

std::string JsonString(std::string_view text) {
  const std::string clean = devlink::SanitizeUtf8(text);
  std::string out = "\"";
  for (char c : clean) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string JsonValue(const pages::Value& value) {
  if (const bool* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const int64_t* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const double* d = std::get_if<double>(&value)) {
    if (!std::isfinite(*d)) return "null";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), *d);
    return std::string(buffer, result.ptr);
  }
  return JsonString(std::get<std::string>(value));
}

namespace {

// The values whose names all begin with the same `skip` characters, as one object: a name
// "group.key" (after those) goes into the object "group", where the group first appears.
std::string ObjectJson(const std::vector<const pages::Values::value_type*>& entries, size_t skip) {
  std::string out = "{";
  std::set<std::string_view> groups;
  auto add = [&out](const std::string& member) {
    if (out.size() > 1) out.push_back(',');
    out += member;
  };
  for (const auto* entry : entries) {
    const std::string_view rest = std::string_view(entry->first).substr(skip);
    const size_t dot = rest.find('.');
    if (dot == std::string_view::npos) {
      add(JsonString(rest) + ":" + JsonValue(entry->second));
      continue;
    }
    const std::string_view group = rest.substr(0, dot + 1);
    if (!groups.insert(group).second) continue;
    std::vector<const pages::Values::value_type*> members;
    for (const auto* other : entries) {
      const std::string_view name = std::string_view(other->first).substr(skip);
      if (name.size() > group.size() && name.substr(0, group.size()) == group) members.push_back(other);
    }
    add(JsonString(group.substr(0, dot)) + ":" + ObjectJson(members, skip + group.size()));
  }
  out.push_back('}');
  return out;
}

}  // namespace

std::string ValuesJson(const pages::Values& values) {
  std::vector<const pages::Values::value_type*> all;
  for (const auto& entry : values) all.push_back(&entry);
  return ObjectJson(all, 0);
}

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
