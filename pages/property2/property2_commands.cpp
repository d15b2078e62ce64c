#include "pages/property2/property2_commands.h"

#include <vector>

#include "link/frames.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/profile.h"

namespace pages::property2 {

namespace {

using devlink::Bytes;

constexpr uint8_t kAddress = 0x00;
constexpr uint8_t kCmdWritePeriod = 0x97;
constexpr uint8_t kCmdReadPeriod = 0x98;
constexpr uint8_t kCmdWriteScreenOff = 0x99;
constexpr uint8_t kCmdReadScreenOff = 0x9A;

// Replies: a read brings two payload bytes, a write one; the length byte must agree.
constexpr size_t kReadReply = 9;
constexpr size_t kWriteReply = 8;

constexpr const char* kPeriodNotInList = "采样周期不在列表中";
constexpr const char* kScreenOffNotInList = "息屏时间不在列表中";

std::vector<Entry> MakeEntries(std::initializer_list<const char*> texts) {
  std::vector<Entry> entries;
  for (const char* text : texts) entries.push_back({text, EntrySeconds(text)});
  return entries;
}

// Reads the 16-bit little-endian value of a read reply and finds its entry.
Result<ListValue> ReadValue(devlink::Channel& channel, uint8_t command, uint8_t sub,
                            std::span<const Entry> entries, const char* name) {
  const Bytes request = devlink::BuildSumFrame(kAddress, command, sub);
  const auto reply =
      RunExchange(channel, request, SumRuleFromFrame(kReadReply, kReadReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const int seconds = in.U16Le();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  const int found = FindEntry(entries, seconds);
  if (found < 0) return Outcome::Failure(kValueNotInList).With(name, int64_t{seconds});
  return {{}, ListValue{name, found, seconds, entries[static_cast<size_t>(found)].text}};
}

// A write succeeds on any reply that passes the frame checks; it has no message of its own.
Outcome WriteValue(devlink::Channel& channel, uint8_t command, uint8_t sub, int seconds) {
  Bytes payload;
  devlink::PutLe16(payload, static_cast<uint16_t>(seconds));
  const Bytes request = devlink::BuildSumFrame(kAddress, command, sub, payload);
  const auto reply =
      RunExchange(channel, request, SumRuleFromFrame(kWriteReply, kWriteReply), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success({});
}

bool ValidChannel(int channelNumber) {
  return channelNumber >= 1 && channelNumber <= kChannelCount;
}

}  // namespace

Values Describe(const ListValue& value) {
  return {{value.name, int64_t{value.seconds}}, {"text", value.text}};
}

int EntrySeconds(std::string_view text) {
  const auto number = static_cast<int>(LeadingInteger(text));
  if (text.find("秒") != std::string_view::npos) return number;
  if (text.find("分") != std::string_view::npos) return number * 60;
  return 0;
}

std::span<const Entry> SamplePeriods() {
  static const std::vector<Entry> entries =
      MakeEntries({"2秒", "4秒", "6秒", "8秒", "10秒", "20秒", "30秒", "40秒", "50秒", "1分", "2分",
                   "3分", "4分", "5分", "6分", "7分", "8分", "9分", "10分"});
  return entries;
}

std::span<const Entry> ScreenOffTimes() {
  static const std::vector<Entry> entries =
      MakeEntries({"15秒", "30秒", "1分", "2分", "5分", "10分", "永不"});
  return entries;
}

int FindEntry(std::span<const Entry> entries, int seconds) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].seconds == seconds) return static_cast<int>(i);
  }
  return -1;
}

Result<ListValue> ReadSamplePeriod(devlink::Channel& channel, int channelNumber) {
  if (!ValidChannel(channelNumber)) return Outcome::Refused(kChannelRange, "channel");
  return ReadValue(channel, kCmdReadPeriod, static_cast<uint8_t>(channelNumber), SamplePeriods(),
                   "period");
}

Outcome WriteSamplePeriod(devlink::Channel& channel, int channelNumber, int seconds) {
  if (!ValidChannel(channelNumber)) return Outcome::Refused(kChannelRange, "channel");
  if (FindEntry(SamplePeriods(), seconds) < 0) return Outcome::Refused(kPeriodNotInList, "period");
  return WriteValue(channel, kCmdWritePeriod, static_cast<uint8_t>(channelNumber), seconds);
}

Result<ListValue> ReadScreenOff(devlink::Channel& channel) {
  return ReadValue(channel, kCmdReadScreenOff, kNoChannel, ScreenOffTimes(), "time");
}

Outcome WriteScreenOff(devlink::Channel& channel, int seconds) {
  if (FindEntry(ScreenOffTimes(), seconds) < 0) {
    return Outcome::Refused(kScreenOffNotInList, "time");
  }
  return WriteValue(channel, kCmdWriteScreenOff, kNoChannel, seconds);
}

// ---- tool-cli verbs ----

namespace {

// A value given as seconds ("120") or as an entry's text ("2分"); the command refuses values
// that are no entry's.
Field EntryField(const char* name, const char* what, std::span<const Entry> entries) {
  std::string help = std::string(what) + " in seconds or as listed:";
  for (const Entry& entry : entries) help += " " + entry.text;
  return Text(name, help);
}

int EntrySecondsOf(const std::string& text, std::span<const Entry> entries) {
  if (const std::optional<int64_t> seconds = ParseWholeInt(text)) {
    return *seconds >= INT32_MIN && *seconds <= INT32_MAX ? static_cast<int>(*seconds) : -1;
  }
  for (const Entry& entry : entries) {
    if (entry.text == text) return entry.seconds;
  }
  return -1;
}

Field ChannelField() { return Integer("channel", "channel number", 1, 32).Refuse(kChannelRange); }

}  // namespace

CommandSet Commands() {
  CommandSet set{
      "property2", "property settings 2: sample period per channel, screen-off time", {}};
  auto& c = set.commands;
  c.push_back(Verb("read-sample-period", "read the sample period of a channel", {ChannelField()},
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadSamplePeriod(channel, static_cast<int>(args.Int("channel")));
                   }));
  c.push_back(Verb("write-sample-period", "write the sample period of a channel",
                   {ChannelField(), EntryField("period", "sample period", SamplePeriods())},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteSamplePeriod(channel, static_cast<int>(args.Int("channel")),
                                              EntrySecondsOf(args.Text("period"), SamplePeriods()));
                   }));
  c.push_back(Verb("read-screen-off", "read the screen-off time", {},
                   [](devlink::Channel& channel, const Args&) { return ReadScreenOff(channel); }));
  c.push_back(Verb("write-screen-off", "write the screen-off time",
                   {EntryField("time", "screen-off time", ScreenOffTimes())},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteScreenOff(channel,
                                           EntrySecondsOf(args.Text("time"), ScreenOffTimes()));
                   }));
  // The instrument reports no channel list: every channel the page offers has a period.
  AddProfile(set, {{{"read-sample-period", "write-sample-period", {"channel"},
                     NumberSelections(1, kChannelCount)},
                    {"read-screen-off", "write-screen-off"}}});
  return set;
}

}  // namespace pages::property2
