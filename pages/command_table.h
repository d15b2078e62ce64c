#pragma once
// A command table per instrument family. Each command module describes its commands once here;
// `tool-cli` is driven from these tables (one verb per entry), and the Qt page calls the same
// typed functions that the table entries wrap.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "link/exchange.h"

namespace pages {

using Value = std::variant<bool, int64_t, double, std::string>;

// The outcome of one command: the message the user sees ("数据读取成功", "地址号范围为1-255", ...),
// the field that failed validation (so the page can focus it; empty otherwise) and the decoded
// values in a stable order.
struct Outcome {
  bool ok = false;
  std::string message;
  std::string field;
  std::vector<std::pair<std::string, Value>> values;

  static Outcome Success(std::string message) { return {true, std::move(message), {}, {}}; }
  static Outcome Failure(std::string message, std::string field = {}) {
    return {false, std::move(message), std::move(field), {}};
  }
  Outcome& With(std::string name, Value value) {
    values.emplace_back(std::move(name), std::move(value));
    return *this;
  }
};

// Arguments of a verb by option name without the leading "--" ("temp-lower" -> "-10.5").
using Args = std::map<std::string, std::string>;

struct ArgDef {
  std::string name;  // "temp-lower"
  std::string help;  // one line for --help
  bool required = true;
};

struct CommandDef {
  std::string verb;  // "read-alarm-limits"
  std::string help;
  std::vector<ArgDef> args;
  std::function<Outcome(devlink::Channel&, const Args&)> run;
};

struct CommandSet {
  std::string page;  // "settings"
  std::string help;
  std::vector<CommandDef> commands;
};

}  // namespace pages
