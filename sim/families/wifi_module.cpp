// WiFi module, '%' commands to address 0x01; sub-command 0x55 reads, 0xAA writes. Replies start
// with '<' and carry the request's address, command and sub-command:
//   0x20             SSID                 read -> the SSID's bytes     write [N bytes] -> 0x55
//   0x21             security, password   read -> [index, password]    write [index, pw] -> 0x55
//   0x22             IP, mask, gateway    read -> 12 bytes             write [12] -> 0x55
//   0x23             DNS                  read -> [00 00, dns(4)]      write [00 00 dns] -> 0x55
//   0x25             module control       write [1 exit, 2 reset, 3 factory settings] -> 0x55
//   0x26 [00]        DHCP                 read -> [1 on / 0 off]       write [1|0] -> 0x55
//   0x27 [00]        MAC                  read -> the 17 characters    write, see below
// The MAC write is always 24 bytes: '%' 01 27 AA, the text's length, 17 bytes of text padded
// with zeros, 'f', Sum8. So its length byte may disagree with its size; the module knows the
// command and reads 24 bytes (a length of 0 changes nothing). Writes of the wrong size or with
// bad values are refused with 0x00 and change nothing.
#include "sim/families/wifi_module.h"

#include <algorithm>

#include "link/checks.h"
#include "sim/framing.h"

namespace sim {

namespace {

constexpr char kMacWriteFamily[] = "wifi-mac-write";

constexpr uint8_t kModuleAddress = 0x01;
constexpr uint8_t kRead = 0x55;
constexpr uint8_t kWrite = 0xAA;

constexpr uint8_t kSsid = 0x20;
constexpr uint8_t kSecurity = 0x21;
constexpr uint8_t kAddresses = 0x22;
constexpr uint8_t kDns = 0x23;
constexpr uint8_t kControl = 0x25;
constexpr uint8_t kDhcp = 0x26;
constexpr uint8_t kMac = 0x27;

constexpr uint8_t kSecurityModes = 7;
constexpr uint8_t kExit = 1, kReset = 2, kFactory = 3;
constexpr size_t kMacChars = 17;
constexpr size_t kMacWriteLength = 24;  // 5 header bytes, 17 text bytes, 'f', Sum8
constexpr size_t kAddressBytes = 12;
constexpr size_t kDnsBytes = 6;

Bytes Joined(const std::array<uint8_t, 4>& a) { return Bytes(a.begin(), a.end()); }

void Take(std::array<uint8_t, 4>& to, const Bytes& from, size_t offset) {
  for (size_t i = 0; i < to.size(); ++i) to[i] = from[offset + i];
}

std::optional<Bytes> HandleRead(WifiModuleState& s, uint8_t command, const Bytes& p,
                                const std::function<Bytes(const Bytes&)>& reply) {
  const bool noPayload = p.empty();
  const bool zeroByte = p.size() == 1 && p[0] == 0x00;
  switch (command) {
    case kSsid:
      if (!noPayload) return std::nullopt;
      return reply(Bytes(s.ssid.begin(), s.ssid.end()));
    case kSecurity: {
      if (!noPayload) return std::nullopt;
      Bytes out(1 + s.password.size());
      out[0] = s.security;
      std::copy(s.password.begin(), s.password.end(), out.begin() + 1);
      return reply(out);
    }
    case kAddresses: {
      if (!noPayload) return std::nullopt;
      Bytes out = Joined(s.ip);
      for (const auto* part : {&s.mask, &s.gateway}) {
        out.insert(out.end(), part->begin(), part->end());
      }
      return reply(out);
    }
    case kDns: {
      if (!noPayload) return std::nullopt;
      Bytes out(kDnsBytes, 0x00);
      std::copy(s.dns.begin(), s.dns.end(), out.begin() + 2);
      return reply(out);
    }
    case kDhcp:
      if (!zeroByte) return std::nullopt;
      return reply({static_cast<uint8_t>(s.dhcp ? 1 : 0)});
    case kMac:
      if (!zeroByte) return std::nullopt;
      return reply(Bytes(s.mac.begin(), s.mac.end()));
    default:
      return std::nullopt;
  }
}

Bytes HandleWrite(WifiModuleState& s, uint8_t command, uint8_t length, const Bytes& p,
                  const std::function<Bytes(const Bytes&)>& reply) {
  const Bytes ack{kAck};
  const Bytes nak{kNak};
  switch (command) {
    case kSsid:
      s.ssid.assign(p.begin(), p.end());
      return reply(ack);
    case kSecurity:
      if (p.empty() || p[0] >= kSecurityModes) return reply(nak);
      s.security = p[0];
      s.password.assign(p.begin() + 1, p.end());
      return reply(ack);
    case kAddresses:
      if (p.size() != kAddressBytes) return reply(nak);
      Take(s.ip, p, 0);
      Take(s.mask, p, 4);
      Take(s.gateway, p, 8);
      return reply(ack);
    case kDns:
      if (p.size() != kDnsBytes) return reply(nak);
      Take(s.dns, p, 2);
      return reply(ack);
    case kControl:
      if (p.size() != 1) return reply(nak);
      if (p[0] == kExit) {
        ++s.exits;
      } else if (p[0] == kReset) {
        ++s.resets;
      } else if (p[0] == kFactory) {
        WifiModuleState fresh;
        fresh.exits = s.exits;
        fresh.resets = s.resets;
        fresh.factoryResets = s.factoryResets + 1;
        fresh.unanswered = s.unanswered;
        s = fresh;
      } else {
        return reply(nak);
      }
      return reply(ack);
    case kDhcp:
      if (p.size() != 1 || p[0] > 1) return reply(nak);
      s.dhcp = p[0] == 1;
      return reply(ack);
    case kMac:
      // `p` is the 17 bytes of text places; the length byte tells how many hold text.
      if (p.size() != kMacChars) return reply(nak);
      if (length == kMacChars) s.mac.assign(p.begin(), p.end());
      else if (length != 0) return reply(nak);
      return reply(ack);
    default:
      return reply(nak);
  }
}

std::optional<Bytes> HandleWifiModule(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  if (request.address != kModuleAddress || request.command < kSsid || request.command > kMac ||
      request.command == 0x24 || (request.sub != kRead && request.sub != kWrite)) {
    return std::nullopt;
  }
  auto& s = device.State<WifiModuleState>();
  if (s.unanswered.count(request.command) != 0) return Bytes{};
  const std::function<Bytes(const Bytes&)> reply = [&](const Bytes& payload) {
    return SumReply(kModuleAddress, request.command, request.sub, payload);
  };
  if (request.sub == kRead) {
    if (request.command == kControl) return std::nullopt;
    return HandleRead(s, request.command, request.payload, reply);
  }
  return HandleWrite(s, request.command, frame[4], request.payload, reply);
}

// The 24-byte MAC write whose length byte is below 17: '%' 01 27 AA.
std::optional<size_t> MeasureMacWrite(const Bytes& buffer) {
  const uint8_t head[] = {kSumRequestStart, kModuleAddress, kMac, kWrite};
  for (size_t i = 0; i < sizeof head && i < buffer.size(); ++i) {
    if (buffer[i] != head[i]) return std::nullopt;
  }
  if (buffer.size() < 5) return 0;
  if (buffer[4] > kMacChars) return std::nullopt;
  return kMacWriteLength;
}

bool MacWriteIntact(const Bytes& frame) {
  return frame.size() == kMacWriteLength && frame[frame.size() - 2] == kSumEnd &&
         devlink::Sum8(frame.data(), static_cast<int32_t>(frame.size() - 1)) == frame.back();
}

}  // namespace

void RegisterWifiModule(Simulator& simulator) {
  simulator.AddHandler(kSumFamily, HandleWifiModule);
  Framing macWrite;
  macWrite.measure = MeasureMacWrite;
  macWrite.intact = MacWriteIntact;
  macWrite.seal = SealSum;
  macWrite.echoOffset = 2;
  macWrite.endFromBack = 2;
  simulator.AddFamily(kMacWriteFamily, macWrite);
  simulator.AddHandler(kMacWriteFamily, HandleWifiModule);
}

}  // namespace sim
