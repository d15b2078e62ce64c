// History records.
//   transmitter, '%'-frames: 25 A 06 AA 00 66 S -> 3C A 06 AA 06 [records lo hi] [blocks lo hi]
//                [block size lo hi] 66 S (counts sign-magnitude);
//                25 A 06 AA 02 [block lo hi] 66 S -> 3C A 06 AA L [block lo hi] records... 66 S,
//                9 bytes a record: BCD yy mm dd hh mi, temperature and humidity tenths (low first)
//   GPRS module: 25 30 30 00 K 03 66 CRC-hi CRC-lo (K 'F' history, 'E' print; CRC-16/MODBUS of
//                bytes 1-6) -> 55 55 55 N [count lo hi] 00, text lines ending CR LF, AA AA AA
#include "sim/families/history.h"

#include <algorithm>

#include <cstdio>

#include "link/checks.h"
#include "sim/framing.h"

namespace sim {

namespace {

constexpr char kGprsFamily[] = "gprs-stream";
constexpr uint8_t kCommand = 0x06;
constexpr uint8_t kSub = 0xAA;
constexpr size_t kRecordBytes = 9;

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

void PutSignMagnitude(Bytes& out, int32_t value) {
  const int32_t magnitude = value < 0 ? -value : value;
  out.push_back(static_cast<uint8_t>(magnitude & 0xFF));
  out.push_back(static_cast<uint8_t>(((magnitude >> 8) & 0x7F) | (value < 0 ? 0x80 : 0)));
}

struct Reading {
  int year, month, day, hour, minute;
  int temperature, humidity;  // tenths
};

Reading ReadingOf(int32_t index) {
  int minutes = 7 * 60 + 8 + index;
  Reading r{23, 5, 6 + minutes / (24 * 60), (minutes / 60) % 24, minutes % 60, 0, 0};
  r.month += (r.day - 1) / 28;
  r.day = (r.day - 1) % 28 + 1;
  r.month = (r.month - 1) % 12 + 1;
  r.temperature = 231 - (index % 60) * 7;
  r.humidity = 600 + (index * 3) % 200;
  return r;
}

// Only the module's own request, 25 30 30 00 K 03 66 CRC CRC: anything else is left to the
// '%'-frames or taken as noise at once.
std::optional<size_t> MeasureGprs(const Bytes& buffer) {
  constexpr uint8_t kHead[] = {0x25, 0x30, 0x30, 0x00};
  for (size_t i = 0; i < sizeof kHead && i < buffer.size(); ++i) {
    if (buffer[i] != kHead[i]) return std::nullopt;
  }
  if (buffer.size() < 6) return 0;
  if (buffer[5] != 0x03) return std::nullopt;
  return 9;
}

bool GprsIntact(const Bytes& frame) {
  if (frame.size() < 9) return false;
  const uint16_t crc = devlink::Crc16Modbus(frame.data() + 1, static_cast<uint32_t>(frame.size() - 3));
  return frame[frame.size() - 2] == (crc >> 8) && frame.back() == (crc & 0xFF);
}

std::optional<Bytes> AnswerTransmitter(Instrument& device, const Bytes& request) {
  const SumRequest r = ParseSum(request);
  if (r.command != kCommand || r.sub != kSub) return std::nullopt;
  const HistoryState& state = device.State<HistoryState>();
  const int32_t perBlock = state.blockSize / static_cast<int32_t>(kRecordBytes);
  const int32_t blocks = perBlock > 0 ? (state.recordCount + perBlock - 1) / perBlock : 0;
  if (r.payload.empty()) {
    Bytes payload;
    PutSignMagnitude(payload, state.recordCount);
    PutSignMagnitude(payload, blocks);
    PutSignMagnitude(payload, state.blockSize);
    return SumReply(device.address, kCommand, kSub, payload);
  }
  if (r.payload.size() != 2) return std::nullopt;
  const int block = devlink::ReplyReader(r.payload).U16Le();
  if (block < 1 || block > blocks) return Bytes{};
  if (block == state.failBlock) return Bytes{};
  if (state.silentFrom > 0 && block >= state.silentFrom) return Bytes{};
  Bytes payload = r.payload;
  const int32_t first = (block - 1) * perBlock;
  for (int32_t i = first; i < first + perBlock && i < state.recordCount; ++i) {
    Bytes record = SimulatedRecord(i);
    if (std::find(state.impossibleTimes.begin(), state.impossibleTimes.end(), i) !=
        state.impossibleTimes.end()) {
      record[1] = 0x13;
    }
    payload.insert(payload.end(), record.begin(), record.end());
  }
  return SumReply(device.address, kCommand, kSub, payload);
}

std::optional<Bytes> AnswerGprs(Instrument& device, const Bytes& request) {
  if (request.size() != 9 || request[1] != 0x30 || request[2] != 0x30 || request[5] != 0x03) {
    return std::nullopt;
  }
  if (request[4] != 'F' && request[4] != 'E') return std::nullopt;
  const HistoryState& state = device.State<HistoryState>();
  std::string text;
  if (state.gprsText) {
    text = *state.gprsText;
  } else {
    for (int32_t i = 0; i < state.recordCount; ++i) text += SimulatedLine(i);
  }
  Bytes stream{0x55, 0x55, 0x55, state.valueCount};
  PutSignMagnitude(stream, state.gprsAnnounced.value_or(state.recordCount));
  stream.push_back(0x00);
  stream.insert(stream.end(), text.begin(), text.end());
  stream.insert(stream.end(), {0xAA, 0xAA, 0xAA});
  return stream;
}

}  // namespace

Bytes SimulatedRecord(int32_t index) {
  const Reading r = ReadingOf(index);
  const auto t = static_cast<uint16_t>(static_cast<int16_t>(r.temperature));
  const auto h = static_cast<uint16_t>(static_cast<int16_t>(r.humidity));
  return {Bcd(r.year),   Bcd(r.month), Bcd(r.day), Bcd(r.hour), Bcd(r.minute),
          static_cast<uint8_t>(t & 0xFF), static_cast<uint8_t>(t >> 8),
          static_cast<uint8_t>(h & 0xFF), static_cast<uint8_t>(h >> 8)};
}

std::string SimulatedLine(int32_t index) {
  const Reading r = ReadingOf(index);
  char line[80];
  std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d %.1f %.1f \r\n", 2000 + r.year,
                r.month, r.day, r.hour, r.minute, r.temperature / 10.0, r.humidity / 10.0);
  return line;
}

void RegisterHistory(Simulator& simulator) {
  simulator.AddHandler(kSumFamily, AnswerTransmitter);
  Framing gprs;
  gprs.measure = MeasureGprs;
  gprs.intact = GprsIntact;
  simulator.AddFamily(kGprsFamily, gprs);
  simulator.AddHandler(kGprsFamily, AnswerGprs);
}

}  // namespace sim
