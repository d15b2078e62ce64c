#pragma once
// Alarm phone numbers of the GSM recorders (refrigerated box, 32-bit transmitter): three slots,
// each read and written by one SumFrame exchange to address 0 with the slot number (1..3) as
// sub-command, the page's memory of the numbers it has read or written, and their tool-cli verbs.
//
//   read   00 'A' slot, no payload      -> '<' .. 'A' slot N [N characters] 'f' sum
//   write  00 'B' slot, [N characters]  -> 8 bytes, 'B' slot, 0x55
//
// Header-only, shared like the SN and clock protocols: each family builds it into its own
// command library.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "link/codecs.h"
#include "link/exchange.h"
#include "link/frames.h"
#include "pages/kit/command_table.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/messages.h"
#include "pages/kit/outcome.h"

namespace pages::gsm {

inline constexpr int kAlarmSlots = 3;
// Characters the number edit takes.
inline constexpr size_t kAlarmNumberMaxChars = 14;
inline constexpr const char* kAlarmReadFailed = "读取失败";
inline constexpr const char* kAlarmSetOk = "设置成功";
inline constexpr const char* kAlarmSetFailed = "设置失败";
inline constexpr const char* kAlarmSlotRange = "号码序号范围为1-3";

inline constexpr uint8_t kReadAlarmNumber = 0x41;   // 'A'
inline constexpr uint8_t kWriteAlarmNumber = 0x42;  // 'B'
// The reply buffer of a number read. The shortest good reply is the bare 7-byte frame (no
// number stored), and that is also the least a TCP reply must have: a larger minimum would turn
// every short number into a failure.
inline constexpr size_t kAlarmNumberReplyBuffer = 30;
inline constexpr size_t kAlarmNumberShortestReply = devlink::kSumFrameOverhead;

// The numbers last read from or written to the instrument, by list index (0..2 for
// "号码1".."号码3"). Lives as long as its page.
class AlarmNumberCache {
 public:
  // The number remembered for `index`, or an empty text when there is none.
  std::string Number(int index) const {
    const auto it = numbers_.find(index);
    return it == numbers_.end() ? std::string() : it->second;
  }
  void Remember(int index, std::string number) { numbers_[index] = std::move(number); }

 private:
  std::map<int, std::string> numbers_;
};

struct AlarmNumber {
  int slot = 1;  // 1..3
  std::string number;
};
inline Values Describe(const AlarmNumber& value) {
  return {{"slot", int64_t{value.slot}}, {"number", value.number}};
}

// The number field: digits only, at most 14 of them; empty clears the slot. A '+', a blank or a
// letter is refused rather than sent as some other digit.
inline Field AlarmNumberField() {
  return PhoneNumber("number", "phone number (empty clears it)", kAlarmNumberMaxChars);
}

// Each payload byte is one character (bytes above 0x7F as their Latin-1 character, control
// characters as visible escapes, zero bytes left out).
inline std::string DecodeAlarmNumber(devlink::ByteView payload) {
  return devlink::DecodeLatin1Text(payload);
}

namespace alarm_detail {

inline bool SlotValid(int slot) { return slot >= 1 && slot <= kAlarmSlots; }

// The reply's status byte must name the slot asked for.
inline bool SlotEchoed(const devlink::Bytes& reply, int slot) {
  return reply.size() > 3 && reply[3] == static_cast<uint8_t>(slot);
}

}  // namespace alarm_detail

inline Result<AlarmNumber> ReadAlarmNumber(devlink::Channel& channel, int slot) {
  if (!alarm_detail::SlotValid(slot)) return Outcome::Refused(kAlarmSlotRange, "slot");
  const devlink::Bytes request =
      devlink::BuildSumFrame(0x00, kReadAlarmNumber, static_cast<uint8_t>(slot));
  const auto reply = RunExchange(
      channel, request, SumRuleFromFrame(kAlarmNumberShortestReply, kAlarmNumberReplyBuffer),
      kAlarmReadFailed);
  if (!reply.ok()) return reply.outcome;
  if (!alarm_detail::SlotEchoed(reply.value, slot)) return Outcome::Failure(kAlarmReadFailed);
  return {{}, AlarmNumber{slot, DecodeAlarmNumber(devlink::SumFramePayload(reply.value))}};
}

// An empty number is sent with payload length 0 (it clears the slot).
inline Outcome WriteAlarmNumber(devlink::Channel& channel, int slot, std::string_view number) {
  if (!alarm_detail::SlotValid(slot)) return Outcome::Refused(kAlarmSlotRange, "slot");
  if (auto refused = Refusal(AlarmNumberField(), number)) return *refused;
  const devlink::Bytes payload(number.begin(), number.end());  // the digit characters
  const devlink::Bytes request =
      devlink::BuildSumFrame(0x00, kWriteAlarmNumber, static_cast<uint8_t>(slot), payload);
  const auto reply = RunExchange(channel, request, SumRule(8).Ack(), kAlarmSetFailed);
  if (!reply.ok()) return reply.outcome;
  if (!alarm_detail::SlotEchoed(reply.value, slot)) return Outcome::Failure(kAlarmSetFailed);
  return Outcome::Success(kAlarmSetOk);
}

// The tool-cli verbs read-alarm-number and write-alarm-number, in that order.
inline std::vector<CommandDef> AlarmNumberVerbs() {
  const auto slot = [] {
    return Integer("slot", "alarm number slot 1..3", 1, kAlarmSlots, kAlarmSlotRange);
  };
  std::vector<CommandDef> verbs;
  verbs.push_back(Verb("read-alarm-number", "read the phone number of one alarm slot", {slot()},
                       [](devlink::Channel& channel, const Args& args) {
                         return ReadAlarmNumber(channel, static_cast<int>(args.Int("slot")));
                       }));
  verbs.push_back(Verb("write-alarm-number",
                       "write the phone number of one alarm slot (empty clears it)",
                       {slot(), AlarmNumberField()},
                       [](devlink::Channel& channel, const Args& args) {
                         return WriteAlarmNumber(channel, static_cast<int>(args.Int("slot")),
                                                 args.Text("number"));
                       }));
  return verbs;
}

}  // namespace pages::gsm
