// Property settings of a multi-channel cold-chain recorder, '%' commands to address 0:
//   0x34 ch        read channel     -> 20-byte record
//   0x33 ch [20]   write channel    -> 0x55
//   0x39 ch        read protection  -> [upper f32 LE, lower f32 LE]
//   0x3A ch [8]    write protection -> 0x55
//   0x37/0x38 FF   company name read / write (text in GBK, no terminator)
//   0x35/0x36 FF   plate number read / write
//   0x3C/0x3B FF   data server read / write:          [ip(4), port LE(2), domain(32)]
//   0x57/0x56 FF   configuration server read / write
// Channel record: type, flags, 00 00, card ID (u32 LE), SN prefix (u16 BE), SN serial (u16 BE),
// upper (f32 LE), lower (f32 LE). Flags as the instrument reports them: bit 2 sound/light,
// bit 3 SMS; a write sets bits 1-2 for sound/light, bit 3 for SMS and bit 0 for either.
// Writes of the wrong size or to a channel outside 1..32 are refused with 0x00; reads of such
// a channel get no answer.
#include "sim/families/property.h"


#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kWriteChannel = 0x33;
constexpr uint8_t kReadChannel = 0x34;
constexpr uint8_t kReadPlate = 0x35;
constexpr uint8_t kWritePlate = 0x36;
constexpr uint8_t kReadCompany = 0x37;
constexpr uint8_t kWriteCompany = 0x38;
constexpr uint8_t kReadProtection = 0x39;
constexpr uint8_t kWriteProtection = 0x3A;
constexpr uint8_t kWriteDataServer = 0x3B;
constexpr uint8_t kReadDataServer = 0x3C;
constexpr uint8_t kWriteConfigServer = 0x56;
constexpr uint8_t kReadConfigServer = 0x57;
constexpr uint8_t kFixedSub = 0xFF;

constexpr size_t kRecordSize = 20;
constexpr size_t kProtectionSize = 8;
constexpr size_t kServerSize = 38;
constexpr size_t kMaxTextBytes = 64;  // the instrument's text buffers

constexpr uint8_t kFlagSoundLight = 0x04;
constexpr uint8_t kFlagSms = 0x08;

Bytes RecordOf(const PropertyChannel& c) {
  Bytes r{c.type, 0x00, 0x00, 0x00};
  if (c.soundLight) r[1] |= kFlagSoundLight;
  if (c.sms) r[1] |= kFlagSms;
  devlink::PutLe32(r, c.cardId);
  devlink::PutBe16(r, c.snPrefix);
  devlink::PutBe16(r, c.snSerial);
  devlink::PutFloat32Le(r, c.upper);
  devlink::PutFloat32Le(r, c.lower);
  return r;
}

void StoreRecord(PropertyChannel& c, const Bytes& r) {
  c.type = r[0];
  c.soundLight = (r[1] & kFlagSoundLight) != 0;
  c.sms = (r[1] & kFlagSms) != 0;
  devlink::ReplyReader in(r, 4);
  c.cardId = in.U32Le();
  c.snPrefix = in.U16Be();
  c.snSerial = in.U16Be();
  c.upper = in.Float32Le();
  c.lower = in.Float32Le();
}

Bytes ServerPayload(const PropertyServer& s) {
  Bytes p(s.ip.begin(), s.ip.end());
  p.push_back(static_cast<uint8_t>(s.port));
  p.push_back(static_cast<uint8_t>(s.port >> 8));
  p.insert(p.end(), s.domain.begin(), s.domain.end());
  return p;
}

void StoreServer(PropertyServer& s, const Bytes& p) {
  std::copy_n(p.begin(), 4, s.ip.begin());
  s.port = devlink::ReplyReader(p, 4).U16Le();
  std::copy_n(p.begin() + 6, s.domain.size(), s.domain.begin());
}

PropertyServer ServerWithDomain(const char* domain, uint16_t port) {
  PropertyServer s;
  s.port = port;
  for (size_t i = 0; domain[i] != '\0' && i + 1 < s.domain.size(); ++i) {
    s.domain[i] = static_cast<uint8_t>(domain[i]);
  }
  return s;
}

std::optional<Bytes> HandleChannel(Instrument& device, const SumRequest& request) {
  auto& state = device.State<PropertyState>();
  bool valid = request.sub >= 1 && request.sub <= state.channels.size();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  PropertyChannel* channel = valid ? &state.channels[request.sub - 1] : nullptr;
  switch (request.command) {
    case kReadChannel:
      return channel ? reply(RecordOf(*channel)) : Bytes{};
    case kWriteChannel:
      if (!channel || request.payload.size() != kRecordSize) return reply({kNak});
      StoreRecord(*channel, request.payload);
      return reply({kAck});
    case kReadProtection: {
      if (!channel) return Bytes{};
      Bytes p;
      devlink::PutFloat32Le(p, channel->protectionUpper);
      devlink::PutFloat32Le(p, channel->protectionLower);
      return reply(p);
    }
    case kWriteProtection: {
      if (!channel || request.payload.size() != kProtectionSize) return reply({kNak});
      devlink::ReplyReader in(request.payload);
      channel->protectionUpper = in.Float32Le();
      channel->protectionLower = in.Float32Le();
      return reply({kAck});
    }
    default:
      return std::nullopt;
  }
}

std::optional<Bytes> HandleFixed(Instrument& device, const SumRequest& request) {
  if (request.sub != kFixedSub) return std::nullopt;
  auto& state = device.State<PropertyState>();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  auto storeText = [&](Bytes& text) {
    if (request.payload.size() > kMaxTextBytes) return reply({kNak});
    text = request.payload;
    return reply({kAck});
  };
  auto storeServer = [&](PropertyServer& server) {
    if (request.payload.size() != kServerSize) return reply({kNak});
    StoreServer(server, request.payload);
    return reply({kAck});
  };
  switch (request.command) {
    case kReadCompany: return reply(state.company);
    case kWriteCompany: return storeText(state.company);
    case kReadPlate: return reply(state.plate);
    case kWritePlate: return storeText(state.plate);
    case kReadDataServer: return reply(ServerPayload(state.dataServer));
    case kWriteDataServer: return storeServer(state.dataServer);
    case kReadConfigServer: return reply(ServerPayload(state.configServer));
    case kWriteConfigServer: return storeServer(state.configServer);
    default: return std::nullopt;
  }
}

std::optional<Bytes> HandleProperty(Instrument& device, const Bytes& frame) {
  SumRequest request = ParseSum(frame);
  if (request.address != 0) return std::nullopt;  // these commands always go to address 0
  if (auto reply = HandleChannel(device, request)) return reply;
  return HandleFixed(device, request);
}

}  // namespace

PropertyState::PropertyState() {
  PropertyChannel& first = channels[0];
  first.type = 1;  // temperature sensor
  first.soundLight = true;
  first.cardId = 0x0A0B0C0D;
  first.snPrefix = 0x1A2B;
  first.snSerial = 42;
  first.upper = 40.0f;
  first.lower = -10.0f;
  PropertyChannel& second = channels[1];
  second.type = 2;  // humidity sensor
  second.sms = true;
  second.cardId = 0x0A0B0C0E;
  second.snPrefix = 0x1A2B;
  second.snSerial = 43;
  second.upper = 80.0f;
  second.lower = 20.0f;
  for (auto& c : channels) {
    c.protectionUpper = 85.0f;
    c.protectionLower = -40.0f;
  }
  // "示例冷链物流" and "沪A12345" in GBK.
  company = {0xCA, 0xBE, 0xC0, 0xFD, 0xC0, 0xE4, 0xC1, 0xB4, 0xCE, 0xEF, 0xC1, 0xF7};
  plate = {0xBB, 0xA6, 'A', '1', '2', '3', '4', '5'};
  dataServer = ServerWithDomain("data.example.com", 9000);
  configServer = ServerWithDomain("0.0.0.0", 9001);
  configServer.ip = {127, 0, 0, 1};
}

void RegisterProperty(Simulator& simulator) { simulator.AddHandler(kSumFamily, HandleProperty); }

}  // namespace sim
