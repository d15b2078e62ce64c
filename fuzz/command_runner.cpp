#include "fuzz/command_runner.h"

#include <cmath>
#include <cstdio>
#include <variant>

namespace fuzzing {

namespace {

// Texts that the option of this name takes, where its kind alone does not tell a valid one.
const std::map<std::string, std::vector<std::string>>& KnownTexts() {
  static const std::map<std::string, std::vector<std::string>> texts = {
      {"mac", {"00:1A:7D:DA:71:13"}},
      {"sn", {"0A1B00042", "12AB34567"}},
      {"pairs", {"25.0:24.6,-20:-19.8", "180,248,300", "25"}},
      {"values", {"-40,-30,-20,-10,0,10,20,30,40,50,60,70,80,90,100",
                  "0,10,20,30,40,50,60,70,80,90,100"}},
      {"row", {"1:1234,0A1B00042,25.5,-10.25,on", "3:95,12AB34567,-0.5,-20,off"}},
      {"at", {"2024-02-03 07:08:09"}},
      {"confirm", {"yes"}},
      {"types", {"temperature,humidity", "humidity"}},
      {"period", {"2秒", "10分", "30"}},
      {"time", {"15秒", "永不", "60"}},
      {"old", {"1"}},
      {"new", {"2", "200"}},
      {"temp-lower", {"-10", "-20.5"}},
      {"temp-upper", {"50", "25.5"}},
      {"hum-lower", {"10", "0"}},
      {"hum-upper", {"90", "100"}},
      {"number", {"13800138000", ""}},
      {"1", {"13800138000", ""}},
      {"2", {"", "13912345678"}},
      {"3", {"13700000000", ""}},
      {"domain", {"gprs.example.com"}},
      {"apn", {"cmnet"}},
      {"user", {"user"}},
      {"password", {"secret12"}},
      {"ssid", {"plant-net"}},
      {"name", {"Cold Chain Co"}},
      {"company", {"Cold Chain Co"}},
      {"plate", {"A12345"}},
      {"type-code", {"1", "47"}},
      {"interval", {"1", "30", "120"}},
      {"capacity", {"1", "32767"}},
      {"seconds", {"0", "300", "65535"}},
      {"upload", {"1", "65535"}},
      {"history", {"1", "60"}},
      {"print", {"1", "5"}},
      {"alarm", {"1", "10"}},
      {"temperature", {"0", "-1.5", "100"}},
      {"humidity", {"0", "2.5", "-100"}},
      {"set-point", {"-18.5", "4"}},
  };
  return texts;
}

std::string Integer(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

// The candidates of a field whose kind tells valid texts.
std::vector<std::string> CandidatesOf(const pages::Field& field) {
  switch (field.kind) {
    case pages::FieldKind::Integer: {
      std::vector<std::string> values;
      for (const double v : {1.0, field.min, field.max, 2.0}) {
        if (field.min > field.max || (v >= field.min && v <= field.max)) values.push_back(Integer(v));
      }
      return values;
    }
    case pages::FieldKind::Number:
      return {"25.5", "-10", "0"};
    case pages::FieldKind::Switch:
      return {"on", "off"};
    case pages::FieldKind::Choice:
      return field.choices;
    case pages::FieldKind::Text:
      return {"AB12"};
    case pages::FieldKind::HexDigits:
      return {std::string(field.digits ? field.digits : 4, '1'), std::string(field.digits ? field.digits : 4, 'F')};
    case pages::FieldKind::Ipv4:
      return {"192.168.1.10", "0.0.0.0"};
    case pages::FieldKind::Phone:
      return {"13800138000", "0"};
    case pages::FieldKind::Mac:
      return {"00:1A:7D:DA:71:13"};
    case pages::FieldKind::DateTime:
      return {"2024-02-29 23:59:59", "2000-01-01 00:00:00"};
    case pages::FieldKind::DivisorOrMultiple:
      return {"60", "5", "120"};
  }
  return {};
}

bool IsFilePath(const pages::Field& field) {
  return field.kind == pages::FieldKind::Text && field.anyText;
}

}  // namespace

std::map<std::string, std::string> ArgumentsFor(const pages::CommandDef& def, uint8_t selector) {
  std::map<std::string, std::string> given;
  uint32_t state = selector * 2654435761u + 1;
  for (const pages::Field& field : def.args) {
    state = state * 1103515245u + 12345u;
    const uint32_t pick = state >> 16;
    if (IsFilePath(field)) continue;  // optional ones only (see Drivable)
    // Optional fields are left to their fallback now and then.
    if (!field.required && pick % 4 == 0) continue;
    const auto known = KnownTexts().find(field.name);
    std::vector<std::string> candidates =
        known != KnownTexts().end() ? known->second : CandidatesOf(field);
    if (candidates.empty()) continue;
    given[field.name] = candidates[pick % candidates.size()];
  }
  return given;
}

bool Drivable(const pages::CommandDef& def) {
  // Work on the PC alone, and downloads that keep what they got in the history archive, would
  // write into the user's data folder.
  if (def.offline) return false;
  for (const pages::Field& field : def.args) {
    if (field.required && (IsFilePath(field) || field.name == "mac")) return false;
    if (field.name == "archive") return false;
  }
  return true;
}

void CheckOutcome(const pages::Outcome& outcome, const std::string& where) {
  CheckUtf8(outcome.message, (where + " message").c_str(), false);
  CheckUtf8(outcome.detail, (where + " detail").c_str(), false);
  for (const auto& [name, value] : outcome.values) {
    const std::string place = where + " value " + name;
    if (const auto* text = std::get_if<std::string>(&value)) CheckUtf8(*text, place.c_str());
    if (const auto* number = std::get_if<double>(&value)) CheckFinite(*number, place.c_str());
  }
}

std::vector<const pages::CommandDef*> DrivableVerbs(const std::vector<pages::CommandSet>& sets) {
  std::vector<const pages::CommandDef*> verbs;
  for (const pages::CommandSet& set : sets) {
    for (const pages::CommandDef& def : set.commands) {
      if (Drivable(def)) verbs.push_back(&def);
    }
  }
  return verbs;
}

void RunOneVerb(const std::vector<const pages::CommandDef*>& verbs, const uint8_t* data,
                size_t size) {
  if (verbs.empty() || size < 2) return;
  const pages::CommandDef& def = *verbs[data[0] % verbs.size()];
  const uint8_t selector = data[1];
  FuzzInput input(data + 2, size - 2);
  FuzzChannel channel(input, (selector & 0x80) != 0, (selector & 0x40) != 0);
  CheckOutcome(pages::RunVerb(def, channel, ArgumentsFor(def, selector & 0x3F)), def.verb);
}

}  // namespace fuzzing
