// tool-cli verbs of the multi-channel curve calibration page. A write reads the channel's curve
// first and writes the pairs back in its frame, as the page does after "读配置".
#include <cstdint>
#include <string>
#include <vector>

#include "calibration/curves/curvecal_commands.h"

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

// The 32-bit card kind: the card of a channel, and a card's points from a calibration file.
void AddCardVerbs(std::vector<CommandDef>& c) {
  c.push_back(Verb("read-card", "read the card number and channel type of a channel's configuration",
                   {Integer(kFieldChannel, "channel number, from 1", 1, kChannelCount)},
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadCardChannel(channel, static_cast<int>(args.Int(kFieldChannel)));
                   }));
  c.push_back(Verb("load-file", "the calibration points of a card in a calibration file (.jz)",
                   {FilePath("path", "the calibration file"),
                    Integer("card", "card number", 0, INT32_MAX),
                    Choice("type", "channel type", {"temperature", "humidity"})},
                   [](devlink::Channel&, const Args& args) {
                     return LoadCalibrationFile(args.Text("path"),
                                                static_cast<int>(args.Int("card")),
                                                args.Text("type") == "humidity");
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
  writeFields.push_back(Text(kFieldPairs, "environment:raw pairs, comma-separated (25.0:24.6,...)"));
  c.push_back(Verb("write", "write the curve of a channel (read first, then written back)",
                   writeFields, [](devlink::Channel& channel, const Args& args) -> Outcome {
                     auto pairs = ParsePairs(args.Text(kFieldPairs));
                     if (auto* refusal = std::get_if<Outcome>(&pairs)) return *refusal;
                     const CurveTarget target = TargetOf(args);
                     CurveBuffer buffer;  // a kind without curve exchanges is refused here
                     const auto read = ReadCurve(channel, target, buffer);
                     if (!read.ok()) return read.outcome;
                     return WriteCurve(channel, target, std::get<std::vector<CurvePair>>(pairs),
                                       buffer);
                   }));
  AddCardVerbs(c);
  return set;
}

}  // namespace pages::curvecal
