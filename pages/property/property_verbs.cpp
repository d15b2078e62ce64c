// tool-cli verbs of the property settings page, one per command, built on the typed commands.
#include <charconv>
#include <cmath>

#include "pages/property/property_commands.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::property {

namespace {

constexpr const char* kNotInteger = "请键入一个整数。";
constexpr const char* kNotNumber = "请键入一个数。";

// A parsed argument, or the outcome to report when it is missing or malformed.
template <class T>
struct Arg {
  std::optional<T> value;
  Outcome error;
  explicit operator bool() const { return value.has_value(); }
};

std::string Text(const Args& args, const std::string& name, std::string fallback = {}) {
  auto it = args.find(name);
  return it == args.end() ? fallback : it->second;
}

Outcome Missing(const std::string& name) {
  return Outcome::Failure("缺少参数 --" + name, name);
}

Arg<int> Integer(const Args& args, const std::string& name) {
  auto it = args.find(name);
  if (it == args.end()) return {std::nullopt, Missing(name)};
  const std::string& s = it->second;
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
    return {std::nullopt, Outcome::Failure(kNotInteger, name)};
  }
  return {value, {}};
}

Arg<double> Number(const Args& args, const std::string& name) {
  auto it = args.find(name);
  if (it == args.end()) return {std::nullopt, Missing(name)};
  const std::string& s = it->second;
  double value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
    return {std::nullopt, Outcome::Failure(kNotNumber, name)};
  }
  return {value, {}};
}

// 1/0, true/false, on/off, yes/no; absent means off.
Arg<bool> Flag(const Args& args, const std::string& name) {
  std::string s = Text(args, name, "0");
  if (s == "1" || s == "true" || s == "on" || s == "yes") return {true, {}};
  if (s == "0" || s == "false" || s == "off" || s == "no") return {false, {}};
  return {std::nullopt, Outcome::Failure("--" + name + " 应为 0 或 1", name)};
}

Arg<Server> ServerArg(const Args& args) {
  std::string s = Text(args, "server", "data");
  if (s == "data") return {Server::Data, {}};
  if (s == "config") return {Server::Config, {}};
  return {std::nullopt, Outcome::Failure("--server 应为 data 或 config", "server")};
}

const ArgDef kChannelArg{"channel", "channel number 1..32"};
const ArgDef kServerArg{"server", "data | config (default data)", false};

Outcome RunReadChannel(devlink::Channel& channel, const Args& args) {
  auto number = Integer(args, "channel");
  if (!number) return number.error;
  return ReadChannel(channel, number.value);
}

Outcome RunWriteChannel(devlink::Channel& channel, const Args& args) {
  auto number = Integer(args, "channel");
  if (!number) return number.error;
  auto type = Integer(args, "type-code");
  if (!type) return type.error;
  auto upper = Number(args, "upper");
  if (!upper) return upper.error;
  auto lower = Number(args, "lower");
  if (!lower) return lower.error;
  auto soundLight = Flag(args, "sound-light");
  if (!soundLight) return soundLight.error;
  auto sms = Flag(args, "sms");
  if (!sms) return sms.error;
  ChannelWrite write;
  write.channel = number.value;
  write.typeCode = type.value;
  write.cardId = Text(args, "card-id");
  write.sn = Text(args, "sn");
  write.upper = *upper.value;
  write.lower = *lower.value;
  write.soundLight = *soundLight.value;
  write.sms = *sms.value;
  return WriteChannel(channel, write);
}

Outcome RunReadProtection(devlink::Channel& channel, const Args& args) {
  auto number = Integer(args, "channel");
  if (!number) return number.error;
  return ReadProtection(channel, number.value);
}

Outcome RunWriteProtection(devlink::Channel& channel, const Args& args) {
  auto number = Integer(args, "channel");
  if (!number) return number.error;
  auto upper = Number(args, "upper");
  if (!upper) return upper.error;
  auto lower = Number(args, "lower");
  if (!lower) return lower.error;
  return WriteProtection(channel, number.value, {*upper.value, *lower.value});
}

Outcome RunReadServer(devlink::Channel& channel, const Args& args) {
  auto server = ServerArg(args);
  if (!server) return server.error;
  return ReadServer(channel, *server.value);
}

Outcome RunWriteServer(devlink::Channel& channel, const Args& args) {
  auto server = ServerArg(args);
  if (!server) return server.error;
  ServerWrite write;
  write.server = *server.value;
  std::string mode = Text(args, "mode", "ip");
  if (mode != "ip" && mode != "domain") {
    return Outcome::Failure("--mode 应为 ip 或 domain", "mode");
  }
  write.domainMode = mode == "domain";
  auto ip = ParseIp(Text(args, "ip", "0.0.0.0"));
  if (!ip) return Outcome::Failure("IP地址输入有误", "ip");
  write.ip = *ip;
  write.domain = Text(args, "domain");
  write.portText = Text(args, "server-port");
  return WriteServer(channel, write);
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "property";
  set.help = "property settings: channels, protection values, company name, plate, servers";
  set.commands = {
      {"read-channel", "read one channel's configuration", {kChannelArg}, RunReadChannel},
      {"write-channel",
       "write one channel's configuration",
       {kChannelArg,
        {"type-code", "channel type code (1..22, 47..53)"},
        {"card-id", "card ID, 8 hex digits"},
        {"sn", "sensor SN: 4 hex digits then 5 decimal digits"},
        {"upper", "upper limit"},
        {"lower", "lower limit"},
        {"sound-light", "sound/light alarm 0|1 (default 0)", false},
        {"sms", "SMS alarm 0|1 (default 0)", false}},
       RunWriteChannel},
      {"read-protection", "read one channel's protection values", {kChannelArg},
       RunReadProtection},
      {"write-protection",
       "write one channel's protection values",
       {kChannelArg, {"upper", "upper value"}, {"lower", "lower value"}},
       RunWriteProtection},
      {"read-company", "read the company name",
       {},
       [](devlink::Channel& channel, const Args&) { return ReadCompany(channel); }},
      {"write-company", "write the company name",
       {{"name", "company name, at most 31 characters"}},
       [](devlink::Channel& channel, const Args& args) {
         return WriteCompany(channel, Text(args, "name"));
       }},
      {"read-plate", "read the vehicle plate number",
       {},
       [](devlink::Channel& channel, const Args&) { return ReadPlate(channel); }},
      {"write-plate", "write the vehicle plate number",
       {{"plate", "plate number, at most 9 characters"}},
       [](devlink::Channel& channel, const Args& args) {
         return WritePlate(channel, Text(args, "plate"));
       }},
      {"read-server", "read the data or configuration server", {kServerArg}, RunReadServer},
      {"write-server",
       "write the data or configuration server",
       {kServerArg,
        {"mode", "ip | domain (default ip)", false},
        {"ip", "IP address (default 0.0.0.0)", false},
        {"domain", "domain name (domain mode)", false},
        {"server-port", "the server's TCP port"}},
       RunWriteServer},
  };
  // The SN widget that the page hosts: its read and write are the page's too.
  for (CommandDef& def : WidgetVerbs({"read-sn", "write-sn"})) {
    set.commands.push_back(std::move(def));
  }
  return set;
}

}  // namespace pages::property
