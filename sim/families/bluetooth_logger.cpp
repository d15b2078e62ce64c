// Bluetooth logger behind the adapter (Modbus RTU, address 0x01, CRC-16/MODBUS low byte first),
// answering only while the adapter holds its MAC:
//   read   01 03 reg(2) count(2) CRC           -> 01 03 2·count data CRC
//   write  01 10 reg(2) count(2) 2·count data CRC -> 01 10 reg(2) count(2) CRC
//   clear  01 13 00 00 00 01 02 A5 5A CRC      -> 01 13 00 00 00 01 CRC
//   live   01 04 00 s 00 count CRC             -> 01 04 2·count values CRC: from s = 1 the
//          display values, from s = 0 the raw values, channel n's in the n-th register, the
//          registers after the channels' zero (at most 16 registers)
// A request must stay within one block: SN 0x0000 (32 registers), header 0x0100 (28), clock
// 0x01E0 (4), channel k 0x1000 + 128 k (16), curve of channel n (n + 63) * 128 (32); anything
// else gets exception 2. A header write that
// changes the channel maximum or sets more channels than it is refused with exception 3, as is
// a clearing request with another code.
#include "sim/families/bluetooth_logger.h"

#include <algorithm>
#include <span>

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kLoggerAddress = 0x01;
constexpr uint8_t kClearFunction = 0x13;
constexpr uint8_t kClearCode[] = {0xA5, 0x5A};
constexpr size_t kClearRequestLength = 11;
constexpr size_t kMaximumByte = 44;
constexpr size_t kCountByte = 45;
constexpr uint16_t kSnStart = 0x0000;
constexpr uint16_t kHeaderStart = 0x0100;
constexpr uint16_t kClockStart = 0x01E0;
constexpr uint16_t kRecordStart = 0x1000;
constexpr uint16_t kRecordStride = 128;
constexpr uint16_t kCurveStride = 128;
constexpr uint8_t kReadInput = 0x04;
constexpr size_t kReadInputLength = 8;
constexpr uint16_t kMaxLiveRegisters = 16;

bool Reachable(Instrument& device) {
  return device.State<BluetoothAdapterState>().connected ==
         device.State<BluetoothLoggerState>().mac;
}

// The bytes of the block that holds registers [first, first + count), or nothing.
struct Block {
  std::span<uint8_t> bytes;
  uint16_t start = 0;
  bool header = false;
};

std::optional<Block> BlockOf(BluetoothLoggerState& logger, uint16_t first, uint16_t count) {
  std::vector<Block> blocks{
      {logger.sn, kSnStart}, {logger.header, kHeaderStart, true}, {logger.clock, kClockStart}};
  for (size_t k = 0; k < logger.records.size(); ++k) {
    blocks.push_back({logger.records[k], static_cast<uint16_t>(kRecordStart + kRecordStride * k)});
  }
  for (size_t n = 1; n <= logger.curves.size(); ++n) {
    blocks.push_back({logger.curves[n - 1], static_cast<uint16_t>((n + 63) * kCurveStride)});
  }
  for (const Block& block : blocks) {
    const uint32_t end = block.start + block.bytes.size() / 2;
    if (first >= block.start && uint32_t{first} + count <= end) return block;
  }
  return std::nullopt;
}

// Input registers (0x04): the live values.
std::optional<Bytes> HandleLiveValues(Instrument& device, const Bytes& frame) {
  if (frame[1] != kReadInput) return std::nullopt;
  if (!Reachable(device)) return Bytes{};  // the adapter passes nothing on
  const auto& logger = device.State<BluetoothLoggerState>();
  const uint16_t first = devlink::ReplyReader(frame, 2).U16Be();
  const uint16_t count = devlink::ReplyReader(frame, 4).U16Be();
  if (first > 1) return ModbusException(kLoggerAddress, kReadInput, kIllegalAddress);
  if (count == 0 || count > kMaxLiveRegisters) {
    return ModbusException(kLoggerAddress, kReadInput, kIllegalValue);
  }
  const auto& values = first == 1 ? logger.display : logger.raw;
  Bytes data{static_cast<uint8_t>(2 * count)};
  for (size_t i = 0; i < count; ++i) {
    devlink::PutBe16(data, i < values.size() ? static_cast<uint16_t>(values[i]) : 0);
  }
  return ModbusReply(kLoggerAddress, kReadInput, data);
}

std::optional<Bytes> HandleRegisters(Instrument& device, const Bytes& frame) {
  if (frame[0] != kLoggerAddress || !Reachable(device)) return std::nullopt;
  auto& logger = device.State<BluetoothLoggerState>();
  const uint8_t function = frame[1];
  if (function != kReadHolding && function != kWriteMultiple) return std::nullopt;
  const uint16_t first = devlink::ReplyReader(frame, 2).U16Be();
  const uint16_t count = devlink::ReplyReader(frame, 4).U16Be();
  if (count == 0 || count > kMaxReadRegisters) {
    return ModbusException(kLoggerAddress, function, kIllegalValue);
  }
  const std::optional<Block> block = BlockOf(logger, first, count);
  if (!block) return ModbusException(kLoggerAddress, function, kIllegalAddress);
  const size_t offset = 2 * size_t{static_cast<uint16_t>(first - block->start)};
  if (function == kReadHolding) {
    Bytes data(1 + 2 * size_t{count});
    data[0] = static_cast<uint8_t>(2 * count);
    std::copy_n(block->bytes.begin() + offset, 2 * size_t{count}, data.begin() + 1);
    return ModbusReply(kLoggerAddress, kReadHolding, data);
  }
  if (frame[6] != 2 * count) return ModbusException(kLoggerAddress, function, kIllegalValue);
  const auto data = std::span<const uint8_t>(frame).subspan(7, 2 * count);
  if (block->header) {
    Bytes after(block->bytes.begin(), block->bytes.end());
    std::copy(data.begin(), data.end(), after.begin() + offset);
    if (after[kMaximumByte] != logger.header[kMaximumByte] ||
        after[kCountByte] > logger.header[kMaximumByte]) {
      return ModbusException(kLoggerAddress, function, kIllegalValue);
    }
  }
  std::copy(data.begin(), data.end(), block->bytes.begin() + offset);
  return ModbusReply(kLoggerAddress, kWriteMultiple, Bytes(frame.begin() + 2, frame.begin() + 6));
}

// The logger's functions that Modbus framing does not know: clearing and the input registers.
std::optional<size_t> MeasureOwnFunctions(const Bytes& buffer) {
  if (buffer.empty() || buffer[0] != kLoggerAddress) return std::nullopt;
  if (buffer.size() < 2) return 0;
  if (buffer[1] == kClearFunction) return kClearRequestLength;
  if (buffer[1] == kReadInput) return kReadInputLength;
  return std::nullopt;
}

std::optional<Bytes> HandleClear(Instrument& device, const Bytes& frame) {
  if (frame[1] != kClearFunction) return std::nullopt;
  if (!Reachable(device)) return Bytes{};  // the adapter passes nothing on
  if (frame[2] != 0x00 || frame[3] != 0x00 || frame[4] != 0x00 || frame[5] != 0x01 ||
      frame[6] != 0x02 || frame[7] != kClearCode[0] || frame[8] != kClearCode[1]) {
    return ModbusException(kLoggerAddress, kClearFunction, kIllegalValue);
  }
  auto& logger = device.State<BluetoothLoggerState>();
  logger.historyRecords = 0;
  ++logger.clears;
  return ModbusReply(kLoggerAddress, kClearFunction, Bytes(frame.begin() + 2, frame.begin() + 6));
}

}  // namespace

BluetoothLoggerState::BluetoothLoggerState() {
  // Serial 1, made December 2026; the other bytes are the logger's own.
  sn[1] = 0x01;
  sn[2] = 0x7E;
  sn[3] = 0xAC;
  for (size_t i = 4; i < sn.size(); ++i) sn[i] = static_cast<uint8_t>(0x10 + i);
  for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<uint8_t>(0x40 + i);
  header[kMaximumByte] = kChannels;
  header[kCountByte] = 2;
  records.resize(kChannels);
  for (size_t k = 0; k < kChannels; ++k) {
    for (size_t i = 0; i < records[k].size(); ++i) {
      records[k][i] = static_cast<uint8_t>(0x80 + 16 * k + i);
    }
    records[k][1] = k % 2 == 0 ? 1 : 2;
  }
  for (auto& curve : curves) {
    for (size_t i = 0; i < curve.size(); i += 2) curve[i] = 0x80;
  }
}

void RegisterBluetoothLogger(Simulator& simulator) {
  // While the adapter holds the logger, the logger is what hears the line's Modbus frames.
  simulator.AddHandlerFirst(kModbusFamily, HandleRegisters);
  Framing framing;
  framing.measure = MeasureOwnFunctions;
  framing.intact = ModbusIntact;
  framing.seal = SealModbus;
  framing.echoOffset = 1;
  simulator.AddFamily(kBluetoothLoggerFamily, framing);
  simulator.AddHandler(kBluetoothLoggerFamily, HandleClear);
  simulator.AddHandler(kBluetoothLoggerFamily, HandleLiveValues);
}

}  // namespace sim
