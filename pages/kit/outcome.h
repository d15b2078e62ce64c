#pragma once
// What a command gives back: the message the user sees, the field that failed validation (so the
// page can focus it and tool-cli can name the option), and on success a typed value.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace pages {

// A value as tool-cli prints it in JSON: true/false, an integer, a number, a string.
using Value = std::variant<bool, int64_t, double, std::string>;
using Values = std::vector<std::pair<std::string, Value>>;

struct Outcome {
  bool ok = false;
  std::string message;  // "数据读取成功", "地址号范围为1-255", ...; may be empty
  std::string field;    // the refused input's name ("temp-lower"); empty unless refused
  Values values;        // what tool-cli prints beside the message
  // Why an exchange failed, in the traffic view's words ("no reply within 600 ms"); tool-cli
  // prints it beside the message, which stays the instrument's own.
  std::string detail;
  // Lists of objects tool-cli prints among the values ("downloads": [{...}, ...]).
  std::vector<std::pair<std::string, std::vector<Values>>> lists;

  static Outcome Success(std::string message) { return {true, std::move(message), {}, {}, {}, {}}; }
  static Outcome Failure(std::string message) { return {false, std::move(message), {}, {}, {}, {}}; }
  // Input refused before anything was sent.
  static Outcome Refused(std::string message, std::string field) {
    return {false, std::move(message), std::move(field), {}, {}, {}};
  }
  Outcome& With(std::string name, Value value) {
    values.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  Outcome& WithList(std::string name, std::vector<Values> items) {
    lists.emplace_back(std::move(name), std::move(items));
    return *this;
  }
  bool Refusal() const { return !ok && !field.empty(); }
};

// An outcome and, when it succeeded, the command's typed value. A family gives each value type
// `Values Describe(const T&)` beside its declaration: that one function names the JSON values.
template <class T>
struct Result {
  Outcome outcome;
  T value{};

  Result(Outcome failure) : outcome(std::move(failure)) {}  // NOLINT: failures convert
  Result(std::string message, T v) : outcome(Outcome::Success(std::move(message))), value(std::move(v)) {}

  bool ok() const { return outcome.ok; }
  const std::string& message() const { return outcome.message; }
};

// The outcome with the value's JSON values appended (on success).
template <class T>
Outcome ToOutcome(Result<T> result) {
  if (result.ok()) {
    for (auto& entry : Describe(result.value)) result.outcome.values.push_back(std::move(entry));
  }
  return std::move(result.outcome);
}
inline Outcome ToOutcome(Outcome outcome) { return outcome; }

}  // namespace pages
