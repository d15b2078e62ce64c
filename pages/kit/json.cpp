#include "pages/kit/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <vector>

#include "link/utf8.h"

namespace pages {

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

std::string JsonValue(const Value& value) {
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
std::string ObjectJson(const std::vector<const Values::value_type*>& entries, size_t skip) {
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
    std::vector<const Values::value_type*> members;
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

std::string ValuesJson(const Values& values) {
  std::vector<const Values::value_type*> all;
  for (const auto& entry : values) all.push_back(&entry);
  return ObjectJson(all, 0);
}

const JsonNode* JsonNode::Find(std::string_view name) const {
  const Members* members = Object();
  if (members == nullptr) return nullptr;
  for (const auto& [key, node] : *members) {
    if (key == name) return &node;
  }
  return nullptr;
}

std::optional<Value> JsonNode::Scalar() const {
  if (const bool* b = std::get_if<bool>(&data)) return Value(*b);
  if (const int64_t* i = std::get_if<int64_t>(&data)) return Value(*i);
  if (const double* d = std::get_if<double>(&data)) return Value(*d);
  if (const std::string* s = std::get_if<std::string>(&data)) return Value(*s);
  return std::nullopt;
}

namespace {

constexpr int kMaxDepth = 64;

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  std::variant<JsonNode, std::string> Document() {
    JsonNode node;
    if (!ReadValue(node, 0)) return error_;
    SkipBlanks();
    if (at_ != text_.size()) {
      Fail("text after the end of the document");
      return error_;
    }
    return node;
  }

 private:
  // Keeps the first fault with its offset; false, for the reader that stops there.
  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at offset " + std::to_string(at_);
    return false;
  }
  void SkipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Take(char c) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool ReadValue(JsonNode& node, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipBlanks();
    if (at_ >= text_.size()) return Fail("unexpected end of the document");
    const char c = text_[at_];
    if (c == '{') return ReadObject(node, depth);
    if (c == '[') return ReadArray(node, depth);
    if (c == '"') {
      std::string text;
      if (!ReadString(text)) return false;
      node.data = std::move(text);
      return true;
    }
    if (Word("true")) {
      node.data = true;
      return true;
    }
    if (Word("false")) {
      node.data = false;
      return true;
    }
    if (Word("null")) {
      node.data = JsonNode::Null{};
      return true;
    }
    if (c == '-' || (c >= '0' && c <= '9')) return ReadNumber(node);
    return Fail("unexpected character");
  }

  bool ReadObject(JsonNode& node, int depth) {
    ++at_;  // '{'
    JsonNode::Members members;
    std::set<std::string> names;
    if (!Take('}')) {
      do {
        SkipBlanks();
        std::string name;
        if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a member name");
        const size_t nameAt = at_;
        if (!ReadString(name)) return false;
        if (!names.insert(name).second) {
          at_ = nameAt;
          return Fail("member \"" + name + "\" given twice");
        }
        if (!Take(':')) return Fail("expected ':'");
        JsonNode value;
        if (!ReadValue(value, depth + 1)) return false;
        members.push_back({std::move(name), std::move(value)});
      } while (Take(','));
      if (!Take('}')) return Fail("expected ',' or '}'");
    }
    node.data = std::move(members);
    return true;
  }

  bool ReadArray(JsonNode& node, int depth) {
    ++at_;  // '['
    JsonNode::Items items;
    if (!Take(']')) {
      do {
        JsonNode value;
        if (!ReadValue(value, depth + 1)) return false;
        items.push_back(std::move(value));
      } while (Take(','));
      if (!Take(']')) return Fail("expected ',' or ']'");
    }
    node.data = std::move(items);
    return true;
  }

  bool ReadHex4(uint32_t& code) {
    if (at_ + 4 > text_.size()) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      code <<= 4;
      if (h >= '0' && h <= '9') code |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f') code |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') code |= static_cast<uint32_t>(h - 'A' + 10);
      else return false;
    }
    return true;
  }

  bool ReadString(std::string& out) {
    ++at_;  // '"'
    while (true) {
      if (at_ >= text_.size()) return Fail("unterminated string");
      const unsigned char c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        const size_t length = devlink::Utf8SequenceLength(text_.substr(at_));
        if (length == 0) return Fail("text that is not UTF-8");
        out.append(text_.substr(at_, length));
        at_ += length;
        continue;
      }
      ++at_;
      if (at_ >= text_.size()) return Fail("unterminated string");
      const char e = text_[at_++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          uint32_t code = 0;
          if (!ReadHex4(code)) return Fail("bad \\u escape");
          if (code >= 0xD800 && code < 0xDC00) {
            uint32_t low = 0;
            if (!Word("\\u") || !ReadHex4(low) || low < 0xDC00 || low >= 0xE000) {
              return Fail("lone surrogate in \\u escape");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return Fail("lone surrogate in \\u escape");
          }
          devlink::AppendUtf8(out, code);
          break;
        }
        default:
          --at_;
          return Fail("bad escape");
      }
    }
  }

  bool ReadNumber(JsonNode& node) {
    const size_t start = at_;
    if (text_[at_] == '-') ++at_;
    const auto digits = [this] {
      const size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ - from;
    };
    const size_t intStart = at_;
    const size_t intDigits = digits();
    if (intDigits == 0 || (intDigits > 1 && text_[intStart] == '0')) {
      return Fail("malformed number");
    }
    bool integer = true;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      integer = false;
      if (digits() == 0) return Fail("malformed number");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      integer = false;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (digits() == 0) return Fail("malformed number");
    }
    const std::string_view number = text_.substr(start, at_ - start);
    if (integer) {
      int64_t value = 0;
      const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
      if (result.ec == std::errc() && result.ptr == number.data() + number.size()) {
        node.data = value;
        return true;
      }
    }
    // std::from_chars for double reads exactly the JSON grammar checked above.
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value)) {
      at_ = start;
      return Fail("number out of range");
    }
    node.data = value;
    return true;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
};

}  // namespace

std::variant<JsonNode, std::string> ParseJson(std::string_view text) {
  return JsonReader(text).Document();
}

}  // namespace pages
