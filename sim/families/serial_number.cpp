// SN read and write, '%' commands 0x32 and 0x31 with sub-command 0xFF:
//   read  0x32, no payload -> '<' addr 32 FF 06 [code hi, code lo, serial hi, serial lo, 00, 00]
//         'f' sum; an instrument without an SN answers FF in all six bytes.
//   write 0x31, [code hi, code lo, serial hi, serial lo, 00, 00] -> '<' addr 31 FF 01 [0x55] 'f' sum;
//         a payload of another length is refused with 0x00.
#include "sim/families/serial_number.h"

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kSnRead = 0x32;
constexpr uint8_t kSnWrite = 0x31;
constexpr uint8_t kSnSub = 0xFF;
constexpr size_t kSnPayload = 6;

Bytes SnPayload(const SerialNumberState& sn) {
  if (!sn.configured) return Bytes(kSnPayload, 0xFF);
  Bytes payload;
  devlink::PutBe16(payload, sn.dateCode);
  devlink::PutBe16(payload, sn.serial);
  payload.push_back(0x00);
  payload.push_back(0x00);
  return payload;
}

std::optional<Bytes> HandleSerialNumber(Instrument& device, const Bytes& frame) {
  SumRequest request = ParseSum(frame);
  if (request.sub != kSnSub) return std::nullopt;
  auto& sn = device.State<SerialNumberState>();
  if (request.command == kSnRead) {
    return SumReply(device.address, kSnRead, kSnSub, SnPayload(sn));
  }
  if (request.command == kSnWrite) {
    if (request.payload.size() != kSnPayload) {
      return SumReply(device.address, kSnWrite, kSnSub, {kNak});
    }
    sn.dateCode = devlink::ReplyReader(request.payload, 0).U16Be();
    sn.serial = devlink::ReplyReader(request.payload, 2).U16Be();
    sn.configured = true;
    return SumReply(device.address, kSnWrite, kSnSub, {kAck});
  }
  return std::nullopt;
}

}  // namespace

void RegisterSerialNumber(Simulator& simulator) {
  simulator.AddHandler(kSumFamily, HandleSerialNumber);
}

}  // namespace sim
