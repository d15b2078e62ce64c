// tool-cli verbs of the WiFi module page: the read chain, the set chain and module control.
#include <algorithm>
#include <string>
#include <vector>

#include "pages/kit/profile.h"
#include "pages/wifi/wifi_commands.h"

namespace pages::wifi {

namespace {

inline constexpr const char* kBadAddress = "IP地址输入有误";

const std::vector<std::pair<std::string, ModuleControl>>& ControlWords() {
  static const std::vector<std::pair<std::string, ModuleControl>> words{
      {"exit", ModuleControl::ExitConfiguration},
      {"reset", ModuleControl::Reset},
      {"factory", ModuleControl::FactorySettings}};
  return words;
}

std::vector<std::string> SecurityWords() {
  const auto modes = SecurityModes();
  return {modes.begin(), modes.end()};
}

Field AddressField(const char* name, const char* help) {
  return Ipv4(name, std::string(help) + " (needed with --dhcp off)", kBadAddress).Optional();
}

Outcome WriteVerb(devlink::Channel& channel, const Args& args) {
  Settings settings;
  settings.ssid = args.Text("ssid");
  const std::string& security = args.Text("security");
  const auto modes = SecurityModes();
  for (size_t i = 0; i < modes.size(); ++i) {
    if (security == modes[i]) settings.security = static_cast<uint8_t>(i);
  }
  settings.password = args.Has("password") ? args.Text("password") : std::string();
  settings.dhcp = args.Switch("dhcp");
  if (args.Has("mac")) settings.mac = args.Text("mac");
  // With DHCP off the four addresses are written, so each must be given.
  const std::pair<const char*, Ipv4Address*> addresses[] = {{"ip", &settings.ip},
                                                            {"mask", &settings.mask},
                                                            {"gateway", &settings.gateway},
                                                            {"dns", &settings.dns}};
  for (const auto& [name, target] : addresses) {
    if (args.Has(name)) {
      *target = args.Ip(name);
    } else if (!settings.dhcp) {
      return MissingField(name);
    }
  }
  return WriteSettings(channel, settings);
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "wifi";
  set.help = "WiFi module: SSID, security, password, DHCP, IP, mask, gateway, DNS, MAC; control";
  auto& c = set.commands;
  c.push_back(Verb("read", "read every setting of the module (SSID first, MAC last)", {},
                   [](devlink::Channel& channel, const Args&) { return ReadSettings(channel); }));
  c.push_back(Verb(
      "write",
      "write the settings (IP, mask, gateway and DNS only with --dhcp off), then DHCP and MAC",
      {Text("ssid", "network name, at most 30 characters").InCodePage(devlink::kCodePageUtf8),
       Choice("security", "security mode", SecurityWords()),
       Text("password", "password, at most 15 characters")
           .InCodePage(devlink::kCodePageUtf8)
           .Optional(),
       Switch("dhcp", "DHCP on/off"), AddressField("ip", "static IP address"),
       AddressField("mask", "subnet mask"), AddressField("gateway", "gateway address"),
       AddressField("dns", "DNS server"),
       MacTextField().Optional()},
      WriteVerb));
  std::vector<std::string> words;
  for (const auto& [word, code] : ControlWords()) words.push_back(word);
  c.push_back(Verb("control",
                   "leave configuration mode (exit), reset the module (reset) or restore its "
                   "factory settings (factory)",
                   {Choice("action", "what the module is to do", words).Positional()},
                   [](devlink::Channel& channel, const Args& args) {
                     for (const auto& [word, code] : ControlWords()) {
                       if (word == args.Text("action")) return Control(channel, code);
                     }
                     return Outcome::Refused(kControlFailed, "action");
                   }));
  // The MAC is the module's own: a profile copied to many modules must not give them one MAC.
  // The write without --mac sends an empty MAC text, which the module takes as no change. With
  // DHCP on the addresses are the network's, which the write does not send.
  ProfilePair settings{"read", "write"};
  settings.leftOut = {"mac"};
  settings.trim = [](Values& group) {
    const bool dhcp = std::any_of(group.begin(), group.end(), [](const auto& entry) {
      return entry.first == "dhcp" && std::get_if<bool>(&entry.second) && std::get<bool>(entry.second);
    });
    if (!dhcp) return;
    std::erase_if(group, [](const auto& entry) {
      return entry.first == "ip" || entry.first == "mask" || entry.first == "gateway" ||
             entry.first == "dns";
    });
  };
  AddProfile(set, {{settings}});
  return set;
}

}  // namespace pages::wifi
