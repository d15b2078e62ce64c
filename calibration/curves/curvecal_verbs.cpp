// tool-cli verbs of the multi-channel curve calibration page. A write reads the channel's curve
// first and writes the pairs back in its frame, as the page does after "读配置".
#include <algorithm>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calibration/curves/curvecal_commands.h"
#include "pages/kit/bluetooth_device.h"

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

// ---- live values, and the Bluetooth logger behind the adapter ----

constexpr const char* kMacOption = "mac";

void AddLiveValueVerbs(std::vector<CommandDef>& c) {
  c.push_back(Verb("read-display", "read the value a channel shows", TargetFields(),
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadDisplayValue(channel, TargetOf(args));
                   }));
  c.push_back(Verb("read-raw", "read a channel's current raw value (the raw column of a row)",
                   TargetFields(), [](devlink::Channel& channel, const Args& args) {
                     return ReadRawValue(channel, TargetOf(args));
                   }));
}

// The Bluetooth logger kind is reached through the adapter: the verbs named take --mac, and for
// that kind connect the adapter to the logger first and run on the serial port. Its channel is
// and pairs are checked before anything is sent, as the adapter's connect may take minutes.
void RouteBluetoothKind(std::vector<CommandDef>& c, std::initializer_list<std::string_view> verbs) {
  for (CommandDef& def : c) {
    if (std::find(verbs.begin(), verbs.end(), def.verb) == verbs.end()) continue;
    Field mac = MacField();
    def.help += "; kind 5 needs --mac";
    def.args.push_back(mac.Optional());
    def.run = [run = std::move(def.run)](devlink::Channel& channel, const Args& args) -> Outcome {
      const CurveTarget target = TargetOf(args);
      if (target.kind != InstrumentKind::BluetoothLogger) return run(channel, args);
      if (!args.Has(kMacOption)) return MissingField(kMacOption);
      if (target.channel > ChannelCount(target.kind)) {
        return Outcome::Refused(kReadFailed, kFieldChannel);
      }
      if (args.Has(kFieldPairs)) {
        auto pairs = ParsePairs(args.Text(kFieldPairs));
        if (auto* refusal = std::get_if<Outcome>(&pairs)) return *refusal;
      }
      return RunOnBluetoothDevice(channel, args,
                                  [&](devlink::Channel& serial) { return run(serial, args); });
    };
  }
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
  AddLiveValueVerbs(c);
  RouteBluetoothKind(c, {"read", "write", "read-display", "read-raw"});
  AddCardVerbs(c);
  return set;
}

}  // namespace pages::curvecal
