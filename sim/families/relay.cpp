// GPRS relay. Requests '%' '0' '0' marker command N ... (N counts the bytes after it); those of
// 'Q', 'I', 'H', 'W', 0xF3 and 0xF4 end in 'f' and CRC-16/MODBUS of bytes 1..'f' high byte
// first, the others in 'f'. Replies carry no check value:
//   'P'        -> '<' 30 30 00 'P' 34 record(49) 'f'          (56 bytes)
//   'Q' record -> '<' 30 30 00 'Q' 01 'f'
//   'R' BCD×6  -> '<' 30 30 00 'R' 01 'f'                      (sets the clock)
//   'S'        -> '<' 30 30 00 'S' 07 BCD×6 'f'
//   'T' code   -> '<' 30 30 00 'T' 01 'f'                      (erases the history)
//   0x93       -> '%' 30 30 30 'I' 6C table(105) 'f'           (112 bytes)
//   'I' table  -> "\r\nRec Config OK!"
//   'J'        -> '<' 30 30 00 'J' 23 numbers(33) index 'f'   (41 bytes)
//   'H' ...    -> 3C 30 30 30 09
//   'V'        -> '<' 30 30 00 'V' 20 name(30) count 'f'      (38 bytes)
//   'W' ...    -> '<' 30 30 00 'W' 01 'f'
//   0xF3/0xF4 (9600 baud) and 24 AA AA CC 00 11 55 / 24 AA AA CC 00 22 66 (38400 baud)
//              -> "\r\nCommand Rec!"
// A block of the wrong size gets no answer and changes nothing.
#include "sim/families/relay.h"

#include <ctime>
#include <string_view>

#include "link/checks.h"

namespace sim {

namespace {

constexpr uint8_t kStart = 0x25;
constexpr uint8_t kReplyStart = 0x3C;
constexpr uint8_t kFiller = 0x30;
constexpr uint8_t kEnd = 0x66;
constexpr size_t kHeader = 6;
constexpr size_t kGprsBytes = 49;
constexpr size_t kTableBytes = 105;
constexpr size_t kPhoneBytes = 34;
constexpr size_t kCompanyBytes = 31;
constexpr uint8_t kPowerStart = 0x24;
constexpr size_t kPowerLength = 7;

bool WithCrc(uint8_t command) {
  switch (command) {
    case 'Q': case 'I': case 'H': case 'W': case 0xF3: case 0xF4: return true;
    default: return false;
  }
}

std::optional<size_t> MeasureRelay(const Bytes& buffer) {
  if (buffer.empty() || buffer[0] != kStart) return std::nullopt;
  for (size_t i = 1; i < 3 && i < buffer.size(); ++i) {
    if (buffer[i] != kFiller) return std::nullopt;
  }
  if (buffer.size() > 3 && buffer[3] != 0x00 && buffer[3] != kFiller) return std::nullopt;
  if (buffer.size() < kHeader) return 0;
  return kHeader + buffer[5];
}

bool RelayIntact(const Bytes& frame) {
  if (frame.size() <= kHeader) return false;
  if (!WithCrc(frame[4])) return frame.back() == kEnd;
  if (frame.size() < kHeader + 3 || frame[frame.size() - 3] != kEnd) return false;
  const uint16_t crc =
      devlink::Crc16Modbus(frame.data() + 1, static_cast<uint32_t>(frame.size() - 3));
  return frame[frame.size() - 2] == (crc >> 8) && frame.back() == (crc & 0xFF);
}

Bytes Answer(uint8_t command, const Bytes& body) {
  Bytes reply;
  reply.reserve(kHeader + body.size() + 1);
  for (uint8_t b : {kReplyStart, kFiller, kFiller, uint8_t{0x00}, command,
                    static_cast<uint8_t>(body.size() + 1)}) {
    reply.push_back(b);
  }
  reply.insert(reply.end(), body.begin(), body.end());
  reply.push_back(kEnd);
  return reply;
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

std::array<uint8_t, 6> ClockNow(const RelayState& s) {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  if (!s.clock) {
    return {Bcd(t.tm_year % 100), Bcd(t.tm_mon + 1), Bcd(t.tm_mday), Bcd(t.tm_hour),
            Bcd(t.tm_min), Bcd(t.tm_sec)};
  }
  return *s.clock;
}

// The request's block: the bytes between N and the 'f'.
Bytes Block(const Bytes& frame) {
  const size_t tail = WithCrc(frame[4]) ? 3 : 1;
  return Bytes(frame.begin() + kHeader, frame.end() - static_cast<std::ptrdiff_t>(tail));
}

std::optional<Bytes> HandleRelay(Instrument& device, const Bytes& frame) {
  auto& s = device.State<RelayState>();
  const uint8_t command = frame[4];
  const Bytes block = Block(frame);
  switch (command) {
    case 'P': {
      // The count is the one of the 'Q' request, which also counts its CRC.
      Bytes reply = Answer('P', s.gprs);
      reply[5] = 0x34;
      return reply;
    }
    case 'Q':
      if (block.size() != kGprsBytes) return Bytes{};
      s.gprs = block;
      return Answer('Q', {});
    case 'R':
      if (block.size() != 6) return Bytes{};
      s.clock = std::array<uint8_t, 6>{block[0], block[1], block[2], block[3], block[4], block[5]};
      return Answer('R', {});
    case 'S': {
      const auto clock = ClockNow(s);
      return Answer('S', Bytes(clock.begin(), clock.end()));
    }
    case 'T':
      if (block.size() != 6) return Bytes{};
      ++s.clears;
      return Answer('T', {});
    case 0x93: {
      Bytes reply;
      reply.reserve(kHeader + kTableBytes + 1);
      for (uint8_t b : {kStart, kFiller, kFiller, kFiller, uint8_t{'I'}, uint8_t{0x6C}}) {
        reply.push_back(b);
      }
      reply.insert(reply.end(), s.table.begin(), s.table.end());
      reply.push_back(kEnd);
      return reply;
    }
    case 'I':
      if (block.size() != kTableBytes) return Bytes{};
      s.table = block;
      return Text("\r\nRec Config OK!");
    case 'J': {
      Bytes body = s.phones;
      return Answer('J', body);
    }
    case 'H':
      if (block.size() != kPhoneBytes) return Bytes{};
      s.phones = block;
      return Bytes{0x3C, 0x30, 0x30, 0x30, 0x09};
    case 'V':
      return Answer('V', s.company);
    case 'W':
      if (block.size() != kCompanyBytes) return Bytes{};
      s.company = block;
      return Answer('W', {});
    case 0xF3:
    case 0xF4:
      s.instrumentsOn = command == 0xF3;
      ++s.powerCommands;
      return Text("\r\nCommand Rec!");
    default:
      return std::nullopt;
  }
}

std::optional<size_t> MeasurePower(const Bytes& buffer) {
  static constexpr uint8_t kHead[] = {kPowerStart, 0xAA, 0xAA, 0xCC, 0x00};
  for (size_t i = 0; i < buffer.size() && i < sizeof kHead; ++i) {
    if (buffer[i] != kHead[i]) return std::nullopt;
  }
  return buffer.size() < sizeof kHead ? 0 : kPowerLength;
}

std::optional<Bytes> HandlePower(Instrument& device, const Bytes& frame) {
  auto& s = device.State<RelayState>();
  if (frame[5] == 0x11 && frame[6] == 0x55) {
    s.instrumentsOn = true;
  } else if (frame[5] == 0x22 && frame[6] == 0x66) {
    s.instrumentsOn = false;
  } else {
    return std::nullopt;
  }
  ++s.powerCommands;
  return Text("\r\nCommand Rec!");
}

}  // namespace

RelayState::RelayState() : table(kTableBytes, 0x00), phones(kPhoneBytes, 0x00) {
  // Send every 5 minutes to 127.0.0.1:3550, GPRS on, SN 0A1B00042, IP mode, no domain name.
  gprs = {0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0xDE, 0x0D, 127, 0, 0, 1, 0x01,
          0x0A, 0x1B, 0x00, 0x2A};
  gprs.resize(kGprsBytes, 0x00);
  company.assign(kCompanyBytes, 0x00);
}

void RegisterRelay(Simulator& simulator) {
  Framing relay;
  relay.measure = MeasureRelay;
  relay.intact = RelayIntact;
  relay.echoOffset = 4;
  relay.endFromBack = 1;
  simulator.AddFamily(kRelayFamily, relay);
  simulator.AddHandler(kRelayFamily, HandleRelay);

  Framing power;
  power.measure = MeasurePower;
  simulator.AddFamily(kRelayPowerFamily, power);
  simulator.AddHandler(kRelayPowerFamily, HandlePower);
}

}  // namespace sim
