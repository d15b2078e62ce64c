// The logger's sensor curves (curve calibration kind 2), ASCII frames without a check value.
// Requests '#' '0' '0' x y 'f':
//   x '0', y '2'       channel list -> 111 bytes '<' '0' '0' '0' '2' 0x69, bytes 62-69 code + 5
//                      of physical channels 1-8, byte 102 the channel map, 'f'
//   x '0' + code, y '4' curve -> 107 bytes '<' '0' '0' x '4' 'e' record(100) 'f'
//   x '0', y '5'       real-time raw values -> 23 bytes '<' '0' '0' '0' '5' 0x11, physical
//                      channel p at bytes 4 + 2p, 5 + 2p (high byte first), 'f'
//   x '0', y 'q'       display values (TCP, or the serial port's first request)
//   x FF, y '9'        display values (the serial port's second request)
//                      -> 39 bytes '<' '0' '0' x y 0x21, channel ch's single at 4ch + 2
//                      (little-endian), 'f'
// and the curve write (also the initialise frame), 107 bytes '%' '0' '0' '0' + code '4' 0x65
// record(100) 'f', which stores the record and is answered '<' '0' '0' x 0x09.
// A code that is no fitted channel's gets no answer.
#include "sim/families/logger_curves.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "link/codecs.h"
#include "sim/families/relay.h"

namespace sim {

namespace {

constexpr uint8_t kRequest = '#';
constexpr uint8_t kWrite = '%';
constexpr uint8_t kReply = '<';
constexpr uint8_t kZero = '0';
constexpr uint8_t kEnd = 'f';
constexpr uint8_t kCurve = '4';
constexpr size_t kRequestLength = 6;
constexpr size_t kHeader = 6;          // start, '0', '0', channel byte, command, count
constexpr size_t kCurveFrame = 107;
constexpr size_t kRecordBytes = 100;   // frame bytes 6-105
constexpr size_t kListLength = 111;
constexpr size_t kListCodesAt = 62;
constexpr size_t kListMapAt = 102;
constexpr int kCodeBias = 5;
constexpr uint8_t kWriteDone = 0x09;

std::optional<size_t> MeasureLogger(const Bytes& buffer) {
  if (buffer.empty() || (buffer[0] != kRequest && buffer[0] != kWrite)) return std::nullopt;
  for (size_t i = 1; i < 3 && i < buffer.size(); ++i) {
    if (buffer[i] != kZero) return std::nullopt;
  }
  if (buffer[0] == kRequest) return buffer.size() < kRequestLength ? 0 : kRequestLength;
  if (buffer.size() > 4 && buffer[4] != kCurve) return std::nullopt;
  if (buffer.size() < kHeader) return 0;
  return kHeader + buffer[5];
}

bool LoggerIntact(const Bytes& frame) {
  if (frame.back() != kEnd) return false;
  return frame[0] == kRequest ? frame.size() == kRequestLength : frame.size() == kCurveFrame;
}

// The physical channel (0-7) of a fitted channel whose code the frame byte names.
std::optional<size_t> FittedChannelOf(const LoggerCurvesState& s, uint8_t codeByte) {
  if (codeByte < kZero) return std::nullopt;
  const int code = codeByte - kZero;
  for (size_t i = 0; i < s.codes.size(); ++i) {
    if ((s.channelMap >> i & 1) != 0 && s.codes[i] == code) return i;
  }
  return std::nullopt;
}

Bytes Frame(uint8_t channelByte, uint8_t command, const Bytes& body) {
  Bytes reply(kHeader + body.size() + 1);
  const uint8_t head[kHeader] = {kReply, kZero, kZero, channelByte, command,
                                 static_cast<uint8_t>(body.size() + 1)};
  std::copy(std::begin(head), std::end(head), reply.begin());
  std::copy(body.begin(), body.end(), reply.begin() + kHeader);
  reply.back() = kEnd;
  return reply;
}

const Bytes& RecordOf(LoggerCurvesState& s, uint8_t code) {
  auto& record = s.records[code];
  record.resize(kRecordBytes, 0x00);
  return record;
}

std::optional<Bytes> HandleRequest(Instrument& device, const Bytes& frame) {
  if (frame[0] != kRequest) return std::nullopt;
  auto& s = device.State<LoggerCurvesState>();
  const uint8_t channelByte = frame[3];
  const uint8_t command = frame[4];
  if (command == '2' && channelByte == kZero) {
    Bytes body(kListLength - kHeader - 1, 0x00);
    for (size_t i = 0; i < s.codes.size(); ++i) {
      body[kListCodesAt - kHeader + i] = static_cast<uint8_t>(s.codes[i] + kCodeBias);
    }
    body[kListMapAt - kHeader] = s.channelMap;
    return Frame(channelByte, command, body);
  }
  if (command == kCurve) {
    const auto fitted = FittedChannelOf(s, channelByte);
    if (!fitted) return Bytes{};
    Bytes reply = Frame(channelByte, command, RecordOf(s, s.codes[*fitted]));
    return reply;
  }
  if (command == '5' && channelByte == kZero) {
    Bytes body;
    for (uint16_t raw : s.raw) {
      body.push_back(static_cast<uint8_t>(raw >> 8));
      body.push_back(static_cast<uint8_t>(raw & 0xFF));
    }
    return Frame(channelByte, command, body);
  }
  if ((command == 'q' && channelByte == kZero) || (command == '9' && channelByte == 0xFF)) {
    Bytes body;
    for (float value : s.display) devlink::PutFloat32Le(body, value);
    return Frame(channelByte, command, body);
  }
  return std::nullopt;
}

// The curve write and the initialise frame. Also added to the relay family: the frame of code 0
// ('%' '0' '0' '0' '4' 0x65 ... 'f') has the shape of a relay frame, which that family measures
// first.
std::optional<Bytes> HandleWrite(Instrument& device, const Bytes& frame) {
  if (frame.size() != kCurveFrame || frame[0] != kWrite || frame[1] != kZero ||
      frame[2] != kZero || frame[4] != kCurve || frame.back() != kEnd) {
    return std::nullopt;
  }
  auto& s = device.State<LoggerCurvesState>();
  const auto fitted = FittedChannelOf(s, frame[3]);
  if (!fitted) return Bytes{};
  s.records[s.codes[*fitted]] =
      Bytes(frame.begin() + kHeader, frame.begin() + static_cast<long>(kHeader + kRecordBytes));
  ++s.writes;
  return Bytes{kReply, kZero, kZero, frame[3], kWriteDone};
}

}  // namespace

void RegisterLoggerCurves(Simulator& simulator) {
  Framing framing;
  framing.measure = MeasureLogger;
  framing.intact = LoggerIntact;
  framing.echoOffset = 4;
  framing.endFromBack = 1;
  simulator.AddFamily(kLoggerCurveFamily, framing);
  simulator.AddHandler(kLoggerCurveFamily, HandleRequest);
  simulator.AddHandler(kLoggerCurveFamily, HandleWrite);
  simulator.AddHandler(kRelayFamily, HandleWrite);  // the relay family is added before
}

}  // namespace sim
