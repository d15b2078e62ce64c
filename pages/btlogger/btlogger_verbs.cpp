// tool-cli verbs of the Bluetooth logger page. Each takes --mac: the adapter on the serial port
// is connected to that logger first, as the main window's "连接" and the page's check would.
// tool-cli keeps nothing between runs, so the writes read what they send back first.
#include <string>
#include <vector>

#include "pages/btlogger/btlogger_commands.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/kit/fields.h"
#include "pages/kit/profile.h"

namespace pages::btlogger {

namespace {

// The channel types of a comma-separated list of words ("temperature,humidity"; the list's own
// "温度" and "湿度" too); an unknown word gives a row without a type.
std::vector<std::optional<uint8_t>> ParseTypeWords(std::string_view text) {
  std::vector<std::optional<uint8_t>> rows;
  if (TrimBlanks(text).empty()) return rows;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string_view word = TrimBlanks(text.substr(start, comma - start));
    if (word == kTemperatureWord) {
      rows.emplace_back(kTemperatureType);
    } else if (word == kHumidityWord) {
      rows.emplace_back(kHumidityType);
    } else {
      rows.push_back(TypeOfText(word));
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return rows;
}

// Before the adapter is connected: the list no logger could take. The logger's own maximum is
// known only once its header is read, and is checked then, still before anything is written.
std::optional<Outcome> RefuseTypes(const Args& args) {
  return RefuseChannelRows(ParseTypeWords(args.Text(kFieldTypes)), kMostChannels);
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "btlogger";
  set.help = "Bluetooth logger behind the adapter: channel types, SN, clock, history clearing";
  auto& c = set.commands;
  c.push_back(
      BluetoothVerb("read-channels", "read the channel count and each channel's type", {},
                    [](devlink::Channel& channel, const Args&) { return ReadConfig(channel); }));
  c.push_back(BluetoothVerb(
      "write-channels",
      "set the channels: one type per channel in order; the logger's other channel settings "
      "are read first and kept",
      {Text(kFieldTypes, "comma-separated channel types: temperature or humidity")},
      [](devlink::Channel& channel, const Args& args) -> Outcome {
        const Result<LoggerConfig> kept = ReadConfig(channel);
        if (!kept.ok()) return kept.outcome;
        const auto rows = ParseTypeWords(args.Text(kFieldTypes));
        Outcome written = WriteConfig(channel, kept.value, rows);
        if (written.ok) written.With("count", static_cast<int64_t>(rows.size()));
        return written;
      },
      RefuseTypes));
  c.push_back(
      BluetoothVerb("clear", "clear the logger's history data", {},
                    [](devlink::Channel& channel, const Args&) { return ClearHistory(channel); }));
  c.push_back(
      BluetoothVerb("read-sn", "read the production date and serial number (SN)", {},
                    [](devlink::Channel& channel, const Args&) { return ReadLoggerSn(channel); }));
  c.push_back(BluetoothVerb(
      "write-sn",
      "write the production date and serial number (the rest of the SN block is read first and "
      "kept)",
      SnWriteFields(),
      [](devlink::Channel& channel, const Args& args) {
        return WriteLoggerSn(channel, static_cast<int>(args.Int("year")),
                             static_cast<int>(args.Int("month")),
                             static_cast<int>(args.Int("serial")));
      }));
  c.push_back(BluetoothVerb(
      "read-clock", "read the logger's clock", {},
      [](devlink::Channel& channel, const Args&) { return ReadLoggerClock(channel); }));
  c.push_back(BluetoothVerb("set-clock", "set the logger's clock to the PC's local time", {},
                            [](devlink::Channel& channel, const Args&) {
                              return SetLoggerClock(channel, LocalClockTime());
                            }));
  // The channel types; the SN names the logger. Every verb reaches it through --mac.
  AddProfile(set, {{{"read-channels", "write-channels"}}, {"read-sn"}, {MacField()}});
  return set;
}

}  // namespace pages::btlogger
