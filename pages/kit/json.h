#pragma once
// JSON as the programs write and read it: the values of an outcome as one object (tool-cli's
// output, saved profiles) and a small reader for documents the user keeps (profiles).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "pages/kit/outcome.h"

namespace pages {

// A JSON string literal, quotes included. UTF-8 text stays as it is; control characters,
// quotes and backslashes are escaped; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);
// A value with its JSON type: true/false, a number (NaN and infinities as null), a string.
std::string JsonValue(const Value& value);
// {"name":value,...}; a value named "group.key" goes into the object "group"
// ("a.b.c": {"a":{"b":{"c":..}}}).
std::string ValuesJson(const Values& values);

// A parsed JSON value. Numbers without fraction or exponent that fit 64 bits are integers;
// objects keep their members in document order.
struct JsonMember;

struct JsonNode {
  struct Null {
    bool operator==(const Null&) const = default;
  };
  // Members of an object as {name, value} (first, second), in document order.
  using Members = std::vector<JsonMember>;
  using Items = std::vector<JsonNode>;
  std::variant<Null, bool, int64_t, double, std::string, Members, Items> data;

  bool IsObject() const { return std::holds_alternative<Members>(data); }
  // The member `name` of an object, null when this is no object or has no such member.
  const JsonNode* Find(std::string_view name) const;
  const Members* Object() const { return std::get_if<Members>(&data); }
  const std::string* String() const { return std::get_if<std::string>(&data); }
  // A scalar as a Value (null, objects and arrays: none).
  std::optional<Value> Scalar() const;
};

struct JsonMember {
  std::string first;
  JsonNode second;
};

// The whole text as one JSON value (blanks around it allowed), or why it is none, with the
// byte offset: "expected ':' at offset 17". Nesting is limited to 64 levels; strings must be
// UTF-8 and \u escapes are decoded (surrogate pairs included).
std::variant<JsonNode, std::string> ParseJson(std::string_view text);

}  // namespace pages
