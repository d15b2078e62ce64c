#include "cli/json_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

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

std::string OutcomeJson(const pages::Outcome& outcome) {
  std::string out = "{\"ok\":";
  out += outcome.ok ? "true" : "false";
  out += ",\"message\":" + JsonString(outcome.message);
  // A refused input names the option it came from.
  if (outcome.Refusal()) out += ",\"option\":" + JsonString("--" + outcome.field);
  if (!outcome.detail.empty()) out += ",\"detail\":" + JsonString(outcome.detail);
  out += ",\"values\":{";
  bool first = true;
  std::set<std::string_view> groups;
  for (const auto& [name, value] : outcome.values) {
    const size_t dot = name.find('.');
    if (dot == std::string::npos) {
      if (!first) out.push_back(',');
      first = false;
      out += JsonString(name) + ":" + JsonValue(value);
      continue;
    }
    // "group.key": every value of the group, in order, as one object where the group first is.
    const std::string_view group = std::string_view(name).substr(0, dot + 1);
    if (!groups.insert(group).second) continue;
    if (!first) out.push_back(',');
    first = false;
    out += JsonString(group.substr(0, dot)) + ":{";
    bool firstInGroup = true;
    for (const auto& [member, memberValue] : outcome.values) {
      if (member.size() <= group.size() || member.compare(0, group.size(), group) != 0) continue;
      if (!firstInGroup) out.push_back(',');
      firstInGroup = false;
      out += JsonString(std::string_view(member).substr(group.size())) + ":" + JsonValue(memberValue);
    }
    out.push_back('}');
  }
  out += "}}";
  return out;
}

}  // namespace cli
