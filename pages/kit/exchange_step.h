#pragma once
// The one exchange step every command runs: send the request, take the reply, check it by the
// command's reply rule in the fixed order of its frame family, and give back either the checked
// reply or the outcome to show ("串口打开失败" for a closed port, else the command's failure text).
//
// Check order by family:
//   SumFrame    length; '<'; echoed command (byte 2); Sum8; 'f'; acknowledgement (payload byte 0)
//   ModbusFrame length; function echoed; 0x03 byte count; CRC (low byte first)
//               (NoEcho() skips the function code, NoByteCount() the byte count)
//   XorFrame    byte 0 == request's; command echoed; kind | 0x80; Xor8; length == bytes 3-4 + 6
//   RelayFrame  length (exact, or byte 5 + 6); the command's fixed bytes (no check value)
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/exchange.h"
#include "link/frames.h"
#include "link/relay_frame.h"
#include "link/reply_reader.h"
#include "pages/kit/outcome.h"

namespace pages {

struct ReplyRule {
  devlink::FrameFamily family = devlink::FrameFamily::Sum;
  // Accepted lengths: exactly `length`; with `longest` above it, anything from `length` to
  // `longest` (the frame's length tells which); with `fromFrame`, at least `length` bytes and
  // exactly what the frame's own length field says (SumFrame byte 4 + 7).
  size_t length = 0;
  size_t longest = 0;
  bool fromFrame = false;
  // Reply buffer; 0 means `longest` or `length`. A longer reply is cut to it.
  size_t capacity = 0;
  bool expectsReply = true;  // false: send only (a TCP channel does not wait for an answer)
  bool checked = true;       // false: the reply goes unchecked to a parser that checks it
  // SumFrame checks besides length and Sum8.
  bool start = true;
  bool echo = true;
  bool end = true;
  std::optional<uint8_t> ack;
  // ModbusFrame: the byte count of a 0x03 reply (the function code is `echo`).
  bool byteCount = true;
  // On a channel that accepted the reply by its own rule (TCP: minimum length, start byte, check
  // value), only the length is checked besides.
  bool channelRuleSuffices = false;
  int32_t serialDelayFactor = 1;
  // RelayFrame replies: accepted by this instead of the family's checks. On TCP the channel
  // still requires the '<' start byte (family Sum) but no check value.
  std::optional<devlink::RelayReply> relay;
  // TCP: the channel also requires the family's check value as the reply's last byte(s).
  bool channelCheckValue = true;
  // Serial channel: a fixed wait instead of the exchange delay.
  std::optional<int32_t> serialDelayMs;
  // Only over the serial port: in TCP mode nothing is sent and nothing is reported.
  bool serialOnly = false;
  // The SumFrame's byte 4 is not the payload length (a history block longer than 255 bytes):
  // fast mode waits for `length` bytes instead of what byte 4 would say.
  bool lengthInHeader = true;

  ReplyRule& UpTo(size_t max) { longest = max; return *this; }
  ReplyRule& Capacity(size_t bytes) { capacity = bytes; return *this; }
  ReplyRule& NoStart() { start = false; return *this; }
  ReplyRule& NoEcho() { echo = false; return *this; }
  ReplyRule& NoByteCount() { byteCount = false; return *this; }
  ReplyRule& NoEnd() { end = false; return *this; }
  ReplyRule& Ack(uint8_t byte = devlink::kAck) { ack = byte; return *this; }
  ReplyRule& ChannelRuleSuffices() { channelRuleSuffices = true; return *this; }
  ReplyRule& NoLengthInHeader() { lengthInHeader = false; return *this; }
  // The serial channel waits this many exchange delays (an instrument that needs longer).
  ReplyRule& SerialDelayTimes(int32_t factor) { serialDelayFactor = factor; return *this; }
  ReplyRule& SerialDelayMs(int32_t ms) { serialDelayMs = ms; return *this; }
  ReplyRule& SerialOnly() { serialOnly = true; return *this; }

  size_t Capacity() const;
  size_t Shortest() const { return length; }
};

// A fixed-length SumFrame reply with every check on; switch checks off with the setters.
ReplyRule SumRule(size_t length);
// A SumFrame reply whose byte 4 gives its length: at least `shortest` bytes, read into a buffer
// of `capacity` (default: the serial read limit).
ReplyRule SumRuleFromFrame(size_t shortest, size_t capacity = devlink::kSerialReadLimit);
ReplyRule ModbusRule(size_t length);
// An XorFrame reply of any length its header gives, read into a buffer of `capacity`.
ReplyRule XorRule(size_t capacity);
// A RelayFrame reply (link/relay_frame.h): read into a buffer of `capacity` (0: its length).
ReplyRule RelayRule(devlink::RelayReply reply, size_t capacity = 0);
// A request that expects no reply.
ReplyRule NoReplyRule();
// A reply of up to `capacity` bytes handed over as it arrived, for a parser that makes its own
// checks (the replaceable protocol hooks of the shared widgets). On TCP the channel still applies
// its acceptance rule for `family`.
ReplyRule UncheckedRule(size_t capacity, devlink::FrameFamily family);

// The first check `reply` fails under `rule` (FrameCheck::Ok when it passes). `request` gives the
// echoed command, the XorFrame's start and kind; `acceptedByChannel` as the exchange reported it.
devlink::FrameCheck CheckReply(devlink::ByteView reply, devlink::ByteView request,
                               const ReplyRule& rule, bool acceptedByChannel = false);

// A serial-only command in TCP mode: a failure with no message (a page shows nothing), and the
// value "not-sent" naming the reason for tool-cli.
inline constexpr const char* kSerialOnlyNotSent = "serial only: nothing sent over TCP";
Outcome SerialOnlyOutcome();

// The outcome of a command that found no port to talk to: none open ("串口打开失败"), or the open
// one went away under it ("串口已断开：…"). Long work (a history download) ends at once then.
bool PortLost(const Outcome& outcome);

// A reply that passed its frame checks but whose fields cannot be read (too short for them, or
// an impossible value): the command's failure text, what was wrong as the detail.
Outcome DecodeFailure(std::string_view failure, const devlink::ReplyReader& in);

// A two-byte little-endian interval in minutes that an instrument's own write takes only from 1
// on: 0 fails `in`, naming `name` ("history interval 0").
uint16_t ReadIntervalMinutes(devlink::ReplyReader& in, std::string_view name);

// Runs the exchange and checks the reply. An empty request (the frame could not be built) sends
// nothing and fails with `failure`.
Result<devlink::Bytes> RunExchange(devlink::Channel& channel, devlink::ByteView request,
                                   const ReplyRule& rule, std::string_view failure);

// The text for a reply that fails `rule`: `checkFailure` when everything but its check value is
// right, else `failure`; empty when it passes. For replies checked by a parser of their own.
std::string ReplyFailureText(devlink::ByteView reply, devlink::ByteView request,
                             const ReplyRule& rule, std::string_view failure,
                             std::string_view checkFailure);

// As RunExchange, for commands that tell a wrong check value apart: such a reply fails with
// `checkFailure`, every other refusal with `failure`. The reply is always checked in full
// (ChannelRuleSuffices is not honoured).
Result<devlink::Bytes> RunExchange(devlink::Channel& channel, devlink::ByteView request,
                                   const ReplyRule& rule, std::string_view failure,
                                   std::string_view checkFailure);

}  // namespace pages
