// tool-cli verbs of the multi-channel curve calibration page. A write reads the channel's curve
// first and writes the pairs back in its frame, as the page does after "读配置".
#include <string>
#include <vector>

#include "calibration/curves/curvecal_commands.h"
#include "calibration/curves/curvecal_kinds.h"

namespace pages::curvecal {

namespace {

std::vector<Field> TargetFields() {
  return {Integer(kFieldKind,
                  "instrument kind: 0 transmitter, 1 32-bit, 2 logger, 3 WiFi transmitter, "
                  "4 32-bit card, 5 Bluetooth logger, 6 refrigerated box, 7 digital sensor",
                  0, kKindCount - 1),
          Integer(kFieldChannel, "channel number, from 1", 1, kChannelCount),
          Choice("type", "channel type", {"temperature", "humidity"})};
}

CurveTarget TargetOf(const Args& args) {
  return {static_cast<InstrumentKind>(args.Int(kFieldKind)), static_cast<int>(args.Int(kFieldChannel)),
          args.Text("type") == "humidity"};
}

// ---- the logger kind (2): "全调", single point and "初始化" ----

constexpr const char* kFieldAll = "all";
constexpr const char* kFieldSingle = "single";
// tool-cli's own refusals (the page has a check box instead).
constexpr const char* kAdjustModeLoggerOnly = "全调与单点只用于记录仪";
constexpr const char* kAdjustModeTwice = "全调与单点只能选一";

// The write verb's fields for the logger kind.
std::vector<Field> LoggerWriteFields() {
  return {Flag(kFieldAll, "kind 2, \"全调\" (the default for kind 2): the readings to write are "
                          "the first numbers of --pairs' items, in order (plain values "
                          "180,248,... work too); readings without an item are written as 0"),
          Flag(kFieldSingle, "kind 2, single point: --pairs holds one item E[:R], E the "
                             "environment value; the channel's real-time raw value is stored at "
                             "E's reference point, or extrapolated to the point above it")};
}

bool LoggerWriteAsked(const Args& args) {
  return args.Switch(kFieldAll) || args.Switch(kFieldSingle) ||
         args.Int(kFieldKind) == static_cast<int>(InstrumentKind::Logger);
}

Outcome LoggerWrite(devlink::Channel& channel, const Args& args) {
  const CurveTarget target = TargetOf(args);
  const bool single = args.Switch(kFieldSingle);
  if (target.kind != InstrumentKind::Logger) {
    return Outcome::Refused(kAdjustModeLoggerOnly, single ? kFieldSingle : kFieldAll);
  }
  if (single && args.Switch(kFieldAll)) return Outcome::Refused(kAdjustModeTwice, kFieldSingle);
  auto values = ParseLoggerValues(args.Text(kFieldPairs), !single);
  if (auto* refusal = std::get_if<Outcome>(&values)) return *refusal;
  const auto& list = std::get<std::vector<double>>(values);
  CurveBuffer buffer;  // each write reads the curve again itself
  if (single) return WriteLoggerPoint(channel, target, list.front(), buffer);
  return WriteLoggerReadings(channel, target, list, buffer);
}

void LoggerVerbs(std::vector<CommandDef>& c) {
  std::vector<Field> fields = TargetFields();
  fields.push_back(FilePath(kFieldPath, "card calibration INI file: the leading integer of each "
                                        "line of its section [humi] or [temp] (the default "
                                        "curve for the rest, or for all without the file)")
                       .Optional());
  c.push_back(Verb("initialise",
                   "kind 2, \"初始化\": write the initial curve of a channel (from --path or the "
                   "built-in default curve), overwriting its curve",
                   fields, [](devlink::Channel& channel, const Args& args) -> Outcome {
                     const CurveTarget target = TargetOf(args);
                     if (target.kind != InstrumentKind::Logger) return NotSupported();
                     return InitialiseLoggerCurve(
                         channel, target, args.Has(kFieldPath) ? args.Text(kFieldPath) : "");
                   }));
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "curvecal";
  set.help = "curve calibration per channel: read and write the pairs of environment and raw "
             "value of a channel's curve";
  auto& c = set.commands;
  c.push_back(Verb("read", "read the curve of a channel", TargetFields(),
                   [](devlink::Channel& channel, const Args& args) {
                     CurveBuffer buffer;
                     return ReadCurve(channel, TargetOf(args), buffer);
                   }));
  std::vector<Field> writeFields = TargetFields();
  writeFields.push_back(Text(kFieldPairs, "environment:raw pairs, comma-separated (25.0:24.6,...); "
                                          "kind 2: see --all and --single"));
  for (Field& field : LoggerWriteFields()) writeFields.push_back(std::move(field));
  c.push_back(Verb("write", "write the curve of a channel (read first, then written back)",
                   writeFields, [](devlink::Channel& channel, const Args& args) -> Outcome {
                     if (LoggerWriteAsked(args)) return LoggerWrite(channel, args);
                     auto pairs = ParsePairs(args.Text(kFieldPairs));
                     if (auto* refusal = std::get_if<Outcome>(&pairs)) return *refusal;
                     const CurveTarget target = TargetOf(args);
                     CurveBuffer buffer;  // a kind without curve exchanges is refused here
                     const auto read = ReadCurve(channel, target, buffer);
                     if (!read.ok()) return read.outcome;
                     return WriteCurve(channel, target, std::get<std::vector<CurvePair>>(pairs),
                                       buffer);
                   }));
  LoggerVerbs(c);
  return set;
}

}  // namespace pages::curvecal
