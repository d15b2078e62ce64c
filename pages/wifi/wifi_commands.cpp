#include "pages/wifi/wifi_commands.h"

#include <array>
#include <optional>
#include <variant>

#include "link/codecs.h"
#include "link/frames.h"
#include "link/utf8.h"
#include "pages/kit/exchange_step.h"

namespace pages::wifi {

namespace {

using devlink::Bytes;
using devlink::ByteView;

constexpr uint8_t kAddress = 0x01;
constexpr uint8_t kRead = 0x55;
constexpr uint8_t kWrite = 0xAA;

constexpr uint8_t kCmdSsid = 0x20;
constexpr uint8_t kCmdSecurity = 0x21;
constexpr uint8_t kCmdIp = 0x22;
constexpr uint8_t kCmdDns = 0x23;
constexpr uint8_t kCmdControl = 0x25;
constexpr uint8_t kCmdDhcp = 0x26;
constexpr uint8_t kCmdMac = 0x27;

// Reply lengths: the shortest variable ones, and the exact fixed ones.
constexpr size_t kSsidShortest = 7;
constexpr size_t kSecurityShortest = 8;
constexpr size_t kIpReply = 19;
constexpr size_t kDnsReply = 13;
constexpr size_t kDhcpReply = 8;
constexpr size_t kMacReply = 24;
constexpr size_t kAckReply = 8;

// The DNS payload: two bytes not used, then the address.
constexpr size_t kDnsUnused = 2;

constexpr std::array<const char*, 7> kSecurityModes{
    "Disable",      "OPENWEP",     "SHAREDWEP",    "WPA-PSK TKIP",
    "WPA-PSK AES",  "WPA2-PSK TKIP", "WPA2-PSK AES"};

// Bytes 1-3 of a reply are not examined. The buffer takes what the serial read limit allows,
// so a reply longer than the command's length is refused rather than cut to fit.
ReplyRule Variable(size_t shortest) { return SumRuleFromFrame(shortest).NoEcho(); }
ReplyRule Exactly(size_t length) {
  return SumRule(length).NoEcho().Capacity(devlink::kSerialReadLimit);
}

Result<Bytes> Read(devlink::Channel& channel, uint8_t command, const Bytes& payload,
                   const ReplyRule& rule, const char* failure) {
  return RunExchange(channel, devlink::BuildSumFrame(kAddress, command, kRead, payload), rule,
                     failure);
}

Outcome Acknowledged(devlink::Channel& channel, const Bytes& request, const char* failure) {
  const auto reply = RunExchange(channel, request, Exactly(kAckReply).Ack(), failure);
  return reply.ok() ? Outcome::Success({}) : reply.outcome;
}

Outcome Write(devlink::Channel& channel, uint8_t command, const Bytes& payload,
              const char* failure) {
  return Acknowledged(channel, devlink::BuildSumFrame(kAddress, command, kWrite, payload), failure);
}

// Device bytes taken one character each, zero bytes adding nothing. Bytes that form UTF-8 (what
// the page writes) read back as the text that was written; any other byte stands for the
// character of its own value. Control characters show as visible escapes either way.
std::string CharactersOf(ByteView bytes) {
  std::string raw;
  for (uint8_t b : bytes) {
    if (b != 0) raw.push_back(static_cast<char>(b));
  }
  if (devlink::IsValidUtf8(raw)) return devlink::EscapeControlCharacters(raw);
  return devlink::DecodeLatin1Text(bytes);
}

size_t CharacterCount(const std::string& utf8) {
  size_t count = 0;
  for (char c : utf8) {
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// Four bytes of an address; the reader fails when they are not all there.
Ipv4Address AddressAt(devlink::ReplyReader& in) {
  Ipv4Address address{};
  for (uint8_t& part : address) part = in.U8();
  return address;
}

void Append(Bytes& out, const Ipv4Address& address) {
  out.insert(out.end(), address.begin(), address.end());
}

// Text as UTF-8 bytes of at most `maxChars` characters, or the refusal naming `field`.
std::variant<Bytes, Outcome> Utf8Field(const std::string& text, size_t maxChars,
                                       const char* field) {
  auto bytes = DeviceTextBytes(text, devlink::kCodePageUtf8, 0, field);
  if (std::holds_alternative<Outcome>(bytes)) return bytes;
  if (CharacterCount(text) > maxChars) return Outcome::Refused(kTextTooLong, field);
  return bytes;
}

// The MAC text goes out byte for byte in its 17 places: six hex pairs with ':' (as the module
// reports it), or nothing at all.
std::optional<Outcome> MacRefusal(const std::string& mac) { return Refusal(MacTextField(), mac); }

}  // namespace

std::span<const char* const> SecurityModes() { return kSecurityModes; }

Values Describe(const Settings& value) {
  const std::string security =
      value.security < kSecurityModes.size() ? kSecurityModes[value.security] : "";
  return {{"ssid", value.ssid},
          {"security", security},
          {"password", value.password},
          {"dhcp", value.dhcp},
          {"ip", FormatIpv4(value.ip)},
          {"mask", FormatIpv4(value.mask)},
          {"gateway", FormatIpv4(value.gateway)},
          {"dns", FormatIpv4(value.dns)},
          {"mac", value.mac}};
}

// ---- reads ----

Result<std::string> ReadSsid(devlink::Channel& channel) {
  const auto reply = Read(channel, kCmdSsid, {}, Variable(kSsidShortest), kSsidReadFailed);
  if (!reply.ok()) return reply.outcome;
  const ByteView payload = devlink::SumFramePayload(reply.value);
  return {{}, devlink::DecodeDeviceText(devlink::kCodePageUtf8, payload.data(), payload.size())};
}

Result<SecurityAndPassword> ReadSecurity(devlink::Channel& channel) {
  const auto reply =
      Read(channel, kCmdSecurity, {}, Variable(kSecurityShortest), kPasswordReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const uint8_t security = in.U8();
  // An index beyond the list would leave nothing selected, and a later write would send that
  // as a security byte of its own: the reply is not one the page can show.
  in.Require(security < kSecurityModes.size(), "security mode beyond the list");
  if (!in.ok()) return DecodeFailure(kPasswordReadFailed, in);
  return {{}, {security, CharactersOf(in.Take(in.remaining()))}};
}

Result<std::array<Ipv4Address, 3>> ReadIp(devlink::Channel& channel) {
  const auto reply = Read(channel, kCmdIp, {}, Exactly(kIpReply), kIpReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const std::array<Ipv4Address, 3> addresses{AddressAt(in), AddressAt(in), AddressAt(in)};
  if (!in.ok()) return DecodeFailure(kIpReadFailed, in);
  return {{}, addresses};
}

Result<Ipv4Address> ReadDns(devlink::Channel& channel) {
  const auto reply = Read(channel, kCmdDns, {}, Exactly(kDnsReply), kDnsReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value), kDnsUnused);
  const Ipv4Address dns = AddressAt(in);
  if (!in.ok()) return DecodeFailure(kDnsReadFailed, in);
  return {{}, dns};
}

Result<bool> ReadDhcp(devlink::Channel& channel) {
  const auto reply = Read(channel, kCmdDhcp, {0x00}, Exactly(kDhcpReply), kDhcpReadFailed);
  if (!reply.ok()) return reply.outcome;
  return {{}, devlink::SumFramePayload(reply.value)[0] != 0};
}

Result<std::string> ReadMac(devlink::Channel& channel) {
  const auto reply = Read(channel, kCmdMac, {0x00}, Exactly(kMacReply), kMacReadFailed);
  if (!reply.ok()) return reply.outcome;
  return {{}, CharactersOf(devlink::SumFramePayload(reply.value))};
}

Result<Settings> ReadSettings(devlink::Channel& channel, const StepRead& stepRead) {
  Settings read;
  auto done = [&](Step step) {
    if (stepRead) stepRead(step, read);
  };
  const auto ssid = ReadSsid(channel);
  if (!ssid.ok()) return ssid.outcome;
  read.ssid = ssid.value;
  done(Step::Ssid);

  const auto security = ReadSecurity(channel);
  if (!security.ok()) return security.outcome;
  read.security = security.value.security;
  read.password = security.value.password;
  done(Step::Security);

  const auto ip = ReadIp(channel);
  if (!ip.ok()) return ip.outcome;
  read.ip = ip.value[0];
  read.mask = ip.value[1];
  read.gateway = ip.value[2];
  done(Step::Ip);

  const auto dns = ReadDns(channel);
  if (!dns.ok()) return dns.outcome;
  read.dns = dns.value;
  done(Step::Dns);

  const auto dhcp = ReadDhcp(channel);
  if (!dhcp.ok()) return dhcp.outcome;
  read.dhcp = dhcp.value;
  done(Step::Dhcp);

  const auto mac = ReadMac(channel);
  if (!mac.ok()) return mac.outcome;
  read.mac = mac.value;
  done(Step::Mac);
  return {kReadOk, read};
}

// ---- writes ----

Outcome WriteSsid(devlink::Channel& channel, const std::string& ssid) {
  auto bytes = Utf8Field(ssid, kSsidMaxChars, "ssid");
  if (auto* refusal = std::get_if<Outcome>(&bytes)) return *refusal;
  return Write(channel, kCmdSsid, std::get<Bytes>(bytes), kSsidSetFailed);
}

Outcome WriteSecurity(devlink::Channel& channel, uint8_t security, const std::string& password) {
  if (security >= kSecurityModes.size()) return Outcome::Refused(kPasswordSetFailed, "security");
  auto bytes = Utf8Field(password, kPasswordMaxChars, "password");
  if (auto* refusal = std::get_if<Outcome>(&bytes)) return *refusal;
  Bytes payload{security};
  const Bytes& text = std::get<Bytes>(bytes);
  payload.insert(payload.end(), text.begin(), text.end());
  return Write(channel, kCmdSecurity, payload, kPasswordSetFailed);
}

Outcome WriteIp(devlink::Channel& channel, const Ipv4Address& ip, const Ipv4Address& mask,
                const Ipv4Address& gateway) {
  Bytes payload;
  Append(payload, ip);
  Append(payload, mask);
  Append(payload, gateway);
  return Write(channel, kCmdIp, payload, kIpSetFailed);
}

Outcome WriteDns(devlink::Channel& channel, const Ipv4Address& dns) {
  Bytes payload(kDnsUnused, 0x00);
  Append(payload, dns);
  return Write(channel, kCmdDns, payload, kDnsSetFailed);
}

Outcome WriteDhcp(devlink::Channel& channel, bool on) {
  return Write(channel, kCmdDhcp, {static_cast<uint8_t>(on ? 1 : 0)}, kDhcpSetFailed);
}

Outcome WriteMac(devlink::Channel& channel, const std::string& mac) {
  if (auto refusal = MacRefusal(mac)) return *refusal;
  Bytes padded(mac.begin(), mac.end());
  padded.resize(kMacChars, 0x00);
  Bytes request = devlink::BuildSumFrame(kAddress, kCmdMac, kWrite, padded);
  // The length byte says how much of the 17 bytes is text; the frame keeps its 24 bytes.
  request[4] = static_cast<uint8_t>(mac.size());
  request.back() = devlink::Sum8(request.data(), static_cast<int32_t>(request.size() - 1));
  return Acknowledged(channel, request, kMacSetFailed);
}

Outcome WriteSettings(devlink::Channel& channel, const Settings& settings) {
  // Refuse bad input before the first write, so nothing is half written because of it.
  if (auto bytes = Utf8Field(settings.ssid, kSsidMaxChars, "ssid");
      std::holds_alternative<Outcome>(bytes)) {
    return std::get<Outcome>(bytes);
  }
  if (auto bytes = Utf8Field(settings.password, kPasswordMaxChars, "password");
      std::holds_alternative<Outcome>(bytes)) {
    return std::get<Outcome>(bytes);
  }
  if (auto refusal = MacRefusal(settings.mac)) return *refusal;
  if (settings.security >= kSecurityModes.size()) {
    return Outcome::Refused(kPasswordSetFailed, "security");
  }

  Outcome step = WriteSsid(channel, settings.ssid);
  if (!step.ok) return step;
  step = WriteSecurity(channel, settings.security, settings.password);
  if (!step.ok) return step;
  // With DHCP on the module takes its addresses from the network.
  if (!settings.dhcp) {
    step = WriteIp(channel, settings.ip, settings.mask, settings.gateway);
    if (!step.ok) return step;
    step = WriteDns(channel, settings.dns);
    if (!step.ok) return step;
  }
  step = WriteDhcp(channel, settings.dhcp);
  if (!step.ok) return step;
  step = WriteMac(channel, settings.mac);
  if (!step.ok) return step;
  return Outcome::Success(kSetOk);
}

Outcome Control(devlink::Channel& channel, ModuleControl code) {
  Outcome outcome = Write(channel, kCmdControl, {static_cast<uint8_t>(code)}, kControlFailed);
  if (outcome.ok) return Outcome::Success(kControlOk);
  if (outcome.message == kPortOpenFailed) outcome.message = kControlPortFailed;
  return outcome;
}

}  // namespace pages::wifi
