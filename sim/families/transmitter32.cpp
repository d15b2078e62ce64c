// 32-bit transmitter with a GSM module, '%' commands to address 0 with sub-command 0xFF:
//   0x80 [00]          signal strength         -> [strength]
//   0x86 / 0x85 [1]    recording read / write  -> [on] / 0x55
//   'K' / 'L' [1]      sound/light alarm (master switch) read / write
//   'M' / 'N' [1]      SMS alarm (master switch) read / write
//   'T'                external power alarms   -> [sound/light, SMS]
//   'U' [01, sl, sms]  write them              -> 0x55
//   0x89               APN record              -> [60 bytes: APN, user name, password]
//   0x88 [60]          write it                -> 0x55
//   0x96 [01]          restore the factory settings (this state and the recorder settings;
//                      the reset count survives) -> 0x55
// 'G'..'J', 'A' and 'B' are the GSM recorder settings (fridge_box.cpp); erasing the history
// (0x09) is the logger command every instrument shares (settings family). Writes of the wrong
// size are refused with 0x00 and change nothing.
#include "sim/families/transmitter32.h"

#include <algorithm>

#include "sim/families/fridge_box.h"
#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kReadSoundLight = 0x4B;
constexpr uint8_t kWriteSoundLight = 0x4C;
constexpr uint8_t kReadSms = 0x4D;
constexpr uint8_t kWriteSms = 0x4E;
constexpr uint8_t kReadExternal = 0x54;
constexpr uint8_t kWriteExternal = 0x55;
constexpr uint8_t kReadSignal = 0x80;
constexpr uint8_t kWriteRecording = 0x85;
constexpr uint8_t kReadRecording = 0x86;
constexpr uint8_t kWriteApn = 0x88;
constexpr uint8_t kReadApn = 0x89;
constexpr uint8_t kFactoryReset = 0x96;
constexpr uint8_t kFixedSub = 0xFF;

std::optional<Bytes> HandleTransmitter32(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  if (request.address != 0 || request.sub != kFixedSub) return std::nullopt;
  auto& s = device.State<Transmitter32State>();
  const Bytes& p = request.payload;
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  // A one-byte flag: read it, or store the written byte.
  auto flag = [&](uint8_t& value, bool write) {
    if (!write) return reply({value});
    if (p.size() != 1) return reply({kNak});
    value = p[0];
    return reply({kAck});
  };
  switch (request.command) {
    case kReadSignal:
      return reply({s.signal});
    case kReadRecording:
    case kWriteRecording:
      return flag(s.recording, request.command == kWriteRecording);
    case kReadSoundLight:
    case kWriteSoundLight:
      return flag(s.soundLight, request.command == kWriteSoundLight);
    case kReadSms:
    case kWriteSms:
      return flag(s.sms, request.command == kWriteSms);
    case kReadExternal:
      return reply({s.externalSoundLight, s.externalSms});
    case kWriteExternal:
      if (p.size() != 3 || p[0] != 0x01) return reply({kNak});
      s.externalSoundLight = p[1];
      s.externalSms = p[2];
      return reply({kAck});
    case kReadApn:
      return reply(Bytes(s.apn.begin(), s.apn.end()));
    case kWriteApn:
      if (p.size() != s.apn.size()) return reply({kNak});
      std::copy(p.begin(), p.end(), s.apn.begin());
      return reply({kAck});
    case kFactoryReset: {
      if (p.size() != 1 || p[0] != 0x01) return reply({kNak});
      const int resets = s.factoryResets + 1;
      s = Transmitter32State{};
      s.factoryResets = resets;
      device.State<GsmRecorderState>() = GsmRecorderState{};
      return reply({kAck});
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

// The recorder settings are answered by RegisterFridgeBox's handler.
void RegisterTransmitter32(Simulator& simulator) {
  simulator.AddHandler(kSumFamily, HandleTransmitter32);
}

}  // namespace sim
