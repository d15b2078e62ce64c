// tool-cli verbs of the property settings page, one per command, built on the typed commands.
#include "pages/property/property_commands.h"
#include "pages/kit/profile.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::property {

namespace {

Server ServerOf(const Args& args) {
  return args.Text("server") == "config" ? Server::Config : Server::Data;
}

Field ChannelField() { return Integer("channel", "channel number", 1, kChannelCount, kSelectChannel); }
Field ServerField() { return Choice("server", "which server", {"data", "config"}).Optional("data"); }
Field UpperField() { return Number("upper", "upper limit"); }
Field LowerField() { return Number("lower", "lower limit"); }

// The channels the instrument reports: those whose record names a sensor type of the table. An
// unconfigured channel (type 0) holds nothing to carry over, and a type the table lacks could
// not be written back.
std::variant<Selections, Outcome> ReportedChannels(devlink::Channel& channel) {
  Selections channels;
  for (int number = 1; number <= kChannelCount; ++number) {
    Result<ChannelConfig> read = ReadChannel(channel, number);
    if (!read.ok()) {
      read.outcome.message = std::string(kProfileReadFailed) + "：channel:" +
                             std::to_string(number) + "：" + read.outcome.message;
      return read.outcome;
    }
    if (ChannelTypePosition(read.value.typeCode)) channels.push_back({std::to_string(number)});
  }
  return channels;
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "property";
  set.help = "property settings: channels, protection values, company name, plate, servers";
  auto& c = set.commands;
  c.push_back(Verb("read-channel", "read one channel's configuration", {ChannelField()},
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadChannel(channel, static_cast<int>(args.Int("channel")));
                   }));
  c.push_back(Verb(
      "write-channel", "write one channel's configuration",
      {ChannelField(),
       Integer("type-code", "channel type code (1..22, 47..53)", INT32_MIN, INT32_MAX)
           .Refuse(kSelectType),
       HexDigits("card-id", "card ID", kCardIdChars, kBadCardId),
       Text("sn", "sensor SN: 4 hex digits then 5 decimal digits"), UpperField(), LowerField(),
       Switch("sound-light", "sound/light alarm").Optional("off"),
       Switch("sms", "SMS alarm").Optional("off")},
      [](devlink::Channel& channel, const Args& args) {
        ChannelWrite write;
        write.channel = static_cast<int>(args.Int("channel"));
        write.typeCode = static_cast<int>(args.Int("type-code"));
        write.cardId = args.Text("card-id");
        write.sn = args.Text("sn");
        write.upper = args.Number("upper");
        write.lower = args.Number("lower");
        write.soundLight = args.Switch("sound-light");
        write.sms = args.Switch("sms");
        return WriteChannel(channel, write);
      }));
  c.push_back(Verb("read-protection", "read one channel's protection values", {ChannelField()},
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadProtection(channel, static_cast<int>(args.Int("channel")));
                   }));
  c.push_back(Verb("write-protection", "write one channel's protection values",
                   {ChannelField(), UpperField(), LowerField()},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteProtection(channel, static_cast<int>(args.Int("channel")),
                                            {args.Number("upper"), args.Number("lower")});
                   }));
  c.push_back(Verb("read-company", "read the company name", {},
                   [](devlink::Channel& channel, const Args&) { return ReadCompany(channel); }));
  c.push_back(Verb("write-company", "write the company name",
                   {Text(kFieldCompany, "company name", kCompanyMaxChars)},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteCompany(channel, args.Text(kFieldCompany));
                   }));
  c.push_back(Verb("read-plate", "read the vehicle plate number", {},
                   [](devlink::Channel& channel, const Args&) { return ReadPlate(channel); }));
  c.push_back(Verb("write-plate", "write the vehicle plate number",
                   {Text(kFieldPlate, "plate number", kPlateMaxChars)},
                   [](devlink::Channel& channel, const Args& args) {
                     return WritePlate(channel, args.Text(kFieldPlate));
                   }));
  c.push_back(Verb("read-server", "read the data or configuration server", {ServerField()},
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadServer(channel, ServerOf(args));
                   }));
  c.push_back(Verb(
      "write-server", "write the data or configuration server",
      {ServerField(), Choice("mode", "address by", {"ip", "domain"}).Optional("ip"),
       Ipv4("ip", "IP address", kBadIp).Optional("0.0.0.0"),
       Text(kFieldDomain, "domain name (domain mode), at most 31 bytes").Optional(),
       Integer(kFieldPort, "the server's TCP port", 0, 65535).Refuse(kBadPort)},
      [](devlink::Channel& channel, const Args& args) {
        ServerWrite write;
        write.server = ServerOf(args);
        write.domainMode = args.Text("mode") == "domain";
        write.ip = args.Ip("ip");
        if (args.Has(kFieldDomain)) write.domain = args.Text(kFieldDomain);
        write.portText = std::to_string(args.Int(kFieldPort));
        return WriteServer(channel, write);
      }));
  // The SN widget that the page hosts: its read and write are the page's too.
  for (CommandDef& def : WidgetVerbs({"read-sn", "write-sn"})) c.push_back(std::move(def));
  // A channel's record before its protection values, as on the page.
  AddProfile(set, {{{"read-channel", "write-channel", {"channel"}, {}, ReportedChannels},
                    {"read-protection", "write-protection", {"channel"}, {}, ReportedChannels},
                    {"read-company", "write-company"},
                    {"read-plate", "write-plate"},
                    {"read-server", "write-server", {"server"}, {{"data"}, {"config"}}}},
                   {"read-sn"}});
  return set;
}

}  // namespace pages::property
