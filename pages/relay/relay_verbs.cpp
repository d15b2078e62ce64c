// tool-cli verbs of the relay page, one per command, built on the typed commands.
#include <ctime>
#include <cstdio>

#include "pages/kit/local_files.h"
#include "pages/kit/profile.h"
#include "pages/kit/serial_line.h"
#include "pages/relay/relay_commands.h"

namespace pages::relay {

namespace {

inline constexpr const char* kRowFormat = "--row 应为 N:ID,SN,上限,下限,on|off（N 为 1-10）";
inline constexpr const char* kRowTwice = "--row 的行号重复";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// "N:ID,SN,UPPER,LOWER,ALARM" lines (one per --row) into the table; rows not given stay empty.
std::variant<InstrumentTable, Outcome> ParseRows(const std::string& given) {
  InstrumentTable table;
  std::array<bool, kInstrumentRows> seen{};
  if (given.empty()) return table;
  for (const std::string& line : Split(given, '\n')) {
    const size_t colon = line.find(':');
    const auto row = ParseWholeInt(std::string_view(line).substr(0, colon));
    if (colon == std::string::npos || !row || *row < 1 || *row > kInstrumentRows) {
      return Outcome::Refused(kRowFormat, "row");
    }
    const std::vector<std::string> cells = Split(line.substr(colon + 1), ',');
    if (cells.size() != 5 || (cells[4] != "on" && cells[4] != "off")) {
      return Outcome::Refused(kRowFormat, "row");
    }
    if (seen[*row - 1]) return Outcome::Refused(kRowTwice, "row");
    seen[*row - 1] = true;
    table[*row - 1] = InstrumentRow{cells[4] == "on", cells[0], cells[1], cells[2], cells[3]};
  }
  return table;
}

// The table as read ("row-1": "ID,SN,UPPER,LOWER,on|off", ...) as write-instruments takes it:
// one "row" of "N:..." lines, numbered as the write places them (moved up without gaps).
Values RowsAsWritten(const Values& read) {
  std::string rows;
  int placed = 0;
  for (int n = 1; n <= kInstrumentRows; ++n) {
    const std::string name = "row-" + std::to_string(n);
    for (const auto& [key, value] : read) {
      const std::string* text = std::get_if<std::string>(&value);
      if (key != name || text == nullptr) continue;
      rows += (rows.empty() ? "" : "\n") + std::to_string(++placed) + ":" + *text;
    }
  }
  return {{"row", rows}};
}

RelayTime TimeOf(const Args& args) {
  if (args.Has("at")) return *ParseDateTime(args.Text("at"));  // the field took it
  const std::tm local = pages::LocalNow();
  return RelayTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

template <class T, class Run>
Outcome WithParsed(std::variant<T, Outcome> parsed, Run run) {
  if (auto* refusal = std::get_if<Outcome>(&parsed)) return *refusal;
  return run(std::get<T>(parsed));
}

Outcome SwitchAtLinkRate(devlink::Channel& channel, relay::Power power) {
  const auto line = LineBehind(channel);
  return SwitchPower(channel, power, line ? line->BaudText() : std::string());
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "relay";
  set.help = "GPRS relay: GPRS settings, instrument table, clock, phone numbers, print name, power";
  auto& c = set.commands;
  c.push_back(Verb("read-gprs", "read the GPRS settings", {},
                   [](devlink::Channel& channel, const Args&) { return ReadGprs(channel); }));
  c.push_back(Verb(
      "write-gprs", "write the GPRS settings",
      {DivisorOrMultiple("interval", "send interval, minutes", kIntervalBase, kIntervalMax,
                         kIntervalRange),
       Integer("server-port", "server port", 0, 65535, kPortRange).Refuse(kPortRange),
       Text("sn", "relay SN: 4 hexadecimal and 5 decimal digits (up to 65535); without it "
                  "the relay keeps its own, read first")
           .Optional(),
       Choice("mode", "server address as IP or domain name", {"ip", "domain"}).Optional("ip"),
       Ipv4("ip", "server IP address", "--ip 应为 IPv4 地址").Optional("0.0.0.0"),
       Text("domain", "server domain name, at most 30 bytes", kDomainBytes)
           .Optional(kDefaultDomain),
       Switch("gprs", "GPRS on/off").Optional("on")},
      [](devlink::Channel& channel, const Args& args) {
        GprsSettings settings;
        settings.interval = args.Int("interval");
        settings.port = args.Int("server-port");
        if (args.Has("sn")) settings.sn = args.Text("sn");
        settings.domainMode = args.Text("mode") == "domain";
        settings.ip = args.Ip("ip");
        settings.domain = args.Text("domain");
        settings.gprsOff = !args.Switch("gprs");
        return args.Has("sn") ? WriteGprs(channel, settings)
                              : WriteGprsKeepingSn(channel, settings);
      }));
  c.push_back(Verb("read-instruments", "read the instrument table (10 rows)", {},
                   [](devlink::Channel& channel, const Args&) {
                     return ReadInstruments(channel);
                   }));
  c.push_back(Verb(
      "write-instruments",
      "write the instrument table: the rows given, moved up without gaps (each keeps its alarm), "
      "the rest empty",
      {Text("row", "N:ID,SN,UPPER,LOWER,on|off (N 1-10; limits in °C)").Optional().Repeatable()},
      [](devlink::Channel& channel, const Args& args) {
        return WithParsed(ParseRows(args.Has("row") ? args.Text("row") : std::string()),
                          [&](const InstrumentTable& table) {
                            return WriteInstruments(channel, table);
                          });
      }));
  c.push_back(Verb("read-time", "read the relay's clock", {},
                   [](devlink::Channel& channel, const Args&) { return ReadTime(channel); }));
  c.push_back(Verb("set-time", "set the relay's clock (default: this computer's local time)",
                   {DateTime("at", "the time to set, 2000..2099", kTimeInvalid).Optional()},
                   [](devlink::Channel& channel, const Args& args) {
                     return SetTime(channel, TimeOf(args));
                   }));
  c.push_back(Verb("clear-data", "erase the relay's history records (cannot be undone)",
                   {Choice("confirm", "must be yes", {"yes"})},
                   [](devlink::Channel& channel, const Args&) { return ClearData(channel); }));
  c.push_back(Verb("read-phones", "read the three phone numbers", {},
                   [](devlink::Channel& channel, const Args&) { return ReadPhones(channel); }));
  c.push_back(Verb("write-phones", "write the three phone numbers (11 digits or empty)",
                   {PhoneNumber("1", "phone number 1", kPhoneDigits).Refuse(kPhoneInvalid).Optional(),
                    PhoneNumber("2", "phone number 2", kPhoneDigits).Refuse(kPhoneInvalid).Optional(),
                    PhoneNumber("3", "phone number 3", kPhoneDigits).Refuse(kPhoneInvalid).Optional()},
                   [](devlink::Channel& channel, const Args& args) {
                     PhoneNumbers phones;
                     for (int i = 0; i < kPhoneCount; ++i) {
                       const std::string name = std::to_string(i + 1);
                       if (args.Has(name)) phones.numbers[i] = args.Text(name);
                     }
                     return WritePhones(channel, phones);
                   }));
  c.push_back(Verb("read-print", "read the company name printed on records (serial or TCP)", {},
                   [](devlink::Channel& channel, const Args&) {
                     return ReadPrintSettings(channel);
                   }));
  c.push_back(Verb("write-print", "write the company name printed on records (serial or TCP)",
                   {Text("company", "company name, at most 30 bytes")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WritePrintSettings(channel, args.Text("company"));
                   }));
  c.push_back(Verb("power-on", "switch the instruments on (link at 38400 or 9600 baud)", {},
                   [](devlink::Channel& channel, const Args&) {
                     return SwitchAtLinkRate(channel, relay::Power::On);
                   }));
  c.push_back(Verb("power-off", "switch the instruments off (link at 38400 or 9600 baud)", {},
                   [](devlink::Channel& channel, const Args&) {
                     return SwitchAtLinkRate(channel, relay::Power::Off);
                   }));
  // The SN in the GPRS record names the relay: it stays the relay's own. The clock, clearing
  // and power are actions.
  AddProfile(set, {{{"read-gprs", "write-gprs", {}, {}, nullptr, {}, {"sn"}},
                    {"read-instruments", "write-instruments", {}, {}, nullptr, {}, {},
                     RowsAsWritten},
                    {"read-phones", "write-phones"},
                    {"read-print", "write-print"}}});
  return set;
}

}  // namespace pages::relay
