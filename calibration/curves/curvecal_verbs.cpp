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
#include "pages/kit/profile.h"
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

// --pairs of a pair kind, refused before anything is sent (the write verb reads the curve
// first) when they do not parse or are more than the kind's slots.
std::variant<std::vector<CurvePair>, Outcome> PairsFor(const CurveTarget& target,
                                                      std::string_view text) {
  auto pairs = ParsePairs(text);
  if (std::holds_alternative<Outcome>(pairs)) return pairs;
  if (const auto layout = LayoutOf(target.kind, target.humidity)) {
    if (auto refused = ExtraPairsRefusal(*layout, std::get<std::vector<CurvePair>>(pairs))) {
      return *refused;
    }
  }
  return pairs;
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
        auto pairs = PairsFor(target, args.Text(kFieldPairs));
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
  // Reads the file only: no connection is opened for it.
  c.push_back(OfflineVerb("load-file", "the calibration points of a card in a calibration file (.jz)",
                          {FilePath("path", "the calibration file"),
                           Integer("card", "card number", 0, INT32_MAX),
                           Choice("type", "channel type", {"temperature", "humidity"})},
                          [](const Args& args) {
                            return LoadCalibrationFile(args.Text("path"),
                                                       static_cast<int>(args.Int("card")),
                                                       args.Text("type") == "humidity");
                          }));
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

// ---- profile: the curve of every calibrated channel of one kind ----

constexpr const char* kFieldChannels = "channels";
// tool-cli's own refusals.
constexpr const char* kSnapshotNeedsKind = "--kind: the kind of instrument whose curves to read";
constexpr const char* kBadChannelList = "--channels: channel numbers of the kind, comma-separated";

// The channels --channels names, or every channel of the kind.
std::optional<std::vector<int>> ChannelsOf(InstrumentKind kind, const GivenOptions& given) {
  std::vector<int> channels;
  const auto listed = given.find(kFieldChannels);
  if (listed == given.end()) {
    for (int n = 1; n <= ChannelCount(kind); ++n) channels.push_back(n);
    return channels;
  }
  for (std::string_view part : SplitList(listed->second, ',')) {
    const std::optional<int64_t> n = ParseWholeInt(TrimBlanks(part));
    if (!n || *n < 1 || *n > ChannelCount(kind)) return std::nullopt;
    channels.push_back(static_cast<int>(*n));
  }
  // An empty list names no channel: a profile of nothing is no snapshot.
  if (channels.empty()) return std::nullopt;
  return channels;
}

// The selections (kind, channel, type) of the channels that hold a curve: an uncalibrated one
// has nothing a write could take, and a logger channel beyond its channel list is no channel.
ProfilePair CurvesPair(const CommandDef& read) {
  ProfilePair pair{"read", "write", {kFieldKind, kFieldChannel, "type"}};
  pair.renamed = {{kFieldPairs, kValueCurve}};
  pair.findGiven = [read](devlink::Channel& channel,
                          const GivenOptions& given) -> std::variant<Selections, Outcome> {
    const auto kindText = given.find(kFieldKind);
    if (kindText == given.end()) return Outcome::Refused(kSnapshotNeedsKind, kFieldKind);
    const auto kind = static_cast<InstrumentKind>(ParseWholeInt(kindText->second).value_or(0));
    const auto channels = ChannelsOf(kind, given);
    if (!channels) return Outcome::Refused(kBadChannelList, kFieldChannels);
    const auto type = given.find("type");
    const std::string typeText = type == given.end() ? "temperature" : type->second;
    Selections found;
    for (int n : *channels) {
      GivenOptions options = given;
      options[kFieldChannel] = std::to_string(n);
      options["type"] = typeText;
      const Outcome curve = RunVerb(read, channel, options);
      if (!curve.ok && curve.message == kChannelNotListed) continue;
      if (!curve.ok) return curve;
      const auto text = std::find_if(curve.values.begin(), curve.values.end(),
                                     [](const auto& v) { return v.first == kValueCurve; });
      if (text == curve.values.end() || OptionText(text->second).empty()) continue;
      found.push_back({kindText->second, std::to_string(n), typeText});
    }
    return found;
  };
  return pair;
}

void AddCurvesProfile(CommandSet& set) {
  ProfilePair pair = CurvesPair(*set.Find("read"));
  Field kind = TargetFields()[0];
  kind.help = "snapshot: " + kind.help;
  Field type = TargetFields()[2];
  type.help = "snapshot: the type of every channel read (default temperature)";
  Field mac = MacField().Optional();
  mac.help = "kind 5: " + mac.help;
  AddProfile(set, {{std::move(pair)},
                   {},
                   {kind.Optional(), type.Optional(),
                    Text(kFieldChannels, "snapshot: the channels to read, comma-separated "
                                         "(default: every channel of the kind)")
                        .Optional(),
                    std::move(mac)}});
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
                     const CurveTarget target = TargetOf(args);
                     auto pairs = PairsFor(target, args.Text(kFieldPairs));
                     if (auto* refusal = std::get_if<Outcome>(&pairs)) return *refusal;
                     CurveBuffer buffer;  // a kind without curve exchanges is refused here
                     const auto read = ReadCurve(channel, target, buffer);
                     if (!read.ok()) return read.outcome;
                     return WriteCurve(channel, target, std::get<std::vector<CurvePair>>(pairs),
                                       buffer);
                   }));
  AddLiveValueVerbs(c);
  RouteBluetoothKind(c, {"read", "write", "read-display", "read-raw"});
  AddCardVerbs(c);
  LoggerVerbs(c);
  AddCurvesProfile(set);
  return set;
}

}  // namespace pages::curvecal
