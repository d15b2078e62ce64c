#include "pages/property2/property2_commands.h"

#include <array>
#include <charconv>
#include <optional>
#include <vector>

#include "link/frames.h"

namespace pages::property2 {

namespace {

using devlink::Bytes;

constexpr uint8_t kAddress = 0x00;
constexpr uint8_t kCmdWritePeriod = 0x97;
constexpr uint8_t kCmdReadPeriod = 0x98;
constexpr uint8_t kCmdWriteScreenOff = 0x99;
constexpr uint8_t kCmdReadScreenOff = 0x9A;
constexpr uint8_t kNoChannel = 0xFF;

// Reply buffers: a read brings two payload bytes, a write one.
constexpr size_t kReadReply = 9;
constexpr size_t kWriteReply = 8;

constexpr const char* kPeriodNotInList = "采样周期不在列表中";
constexpr const char* kScreenOffNotInList = "息屏时间不在列表中";

std::vector<Entry> MakeEntries(std::initializer_list<const char*> texts) {
  std::vector<Entry> entries;
  for (const char* text : texts) entries.push_back({text, EntrySeconds(text)});
  return entries;
}

int LeadingInteger(std::string_view text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Reads the 16-bit little-endian value of a read reply. Returns nullopt for failed checks.
std::optional<int> ReadValue(devlink::Channel& channel, uint8_t command, uint8_t sub,
                             Outcome& failure) {
  const Bytes request = devlink::BuildSumFrame(kAddress, command, sub);
  devlink::ReplySpec spec;
  spec.capacity = kReadReply;
  const devlink::ExchangeResult result = channel.Exchange(request, spec);
  if (result.status == devlink::ExchangeStatus::PortNotOpen) {
    failure = Outcome::Failure(devlink::kPortOpenFailed);
    return std::nullopt;
  }
  if (result.status != devlink::ExchangeStatus::Ok ||
      devlink::CheckSumFrameVariable(result.reply, command, kReadReply - 1) !=
          devlink::FrameCheck::Ok) {
    failure = Outcome::Failure(kReadFailed);
    return std::nullopt;
  }
  const devlink::ByteView payload = devlink::SumFramePayload(result.reply);
  return payload[0] | (payload[1] << 8);
}

// A write succeeds on any reply that passes the frame checks; it has no message of its own.
Outcome WriteValue(devlink::Channel& channel, uint8_t command, uint8_t sub, int seconds) {
  const Bytes payload{static_cast<uint8_t>(seconds & 0xFF),
                      static_cast<uint8_t>((seconds >> 8) & 0xFF)};
  const Bytes request = devlink::BuildSumFrame(kAddress, command, sub, payload);
  devlink::ReplySpec spec;
  spec.capacity = kWriteReply;
  const devlink::ExchangeResult result = channel.Exchange(request, spec);
  if (result.status == devlink::ExchangeStatus::PortNotOpen) {
    return Outcome::Failure(devlink::kPortOpenFailed);
  }
  if (result.status != devlink::ExchangeStatus::Ok ||
      devlink::CheckSumFrameVariable(result.reply, command, kWriteReply - 1) !=
          devlink::FrameCheck::Ok) {
    return Outcome::Failure(kWriteFailed);
  }
  return Outcome::Success({});
}

Outcome SelectRead(std::optional<int> seconds, std::span<const Entry> entries, const char* name,
                   int& index, Outcome failure) {
  if (!seconds) return failure;
  const int found = FindEntry(entries, *seconds);
  if (found < 0) return Outcome::Failure(kValueNotInList).With(name, int64_t{*seconds});
  index = found;
  return Outcome::Success({})
      .With(name, int64_t{*seconds})
      .With("text", entries[static_cast<size_t>(found)].text);
}

bool ValidChannel(int channelNumber) {
  return channelNumber >= 1 && channelNumber <= kChannelCount;
}

}  // namespace

int EntrySeconds(std::string_view text) {
  if (text.find("秒") != std::string_view::npos) return LeadingInteger(text);
  if (text.find("分") != std::string_view::npos) return LeadingInteger(text) * 60;
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

Outcome ReadSamplePeriod(devlink::Channel& channel, int channelNumber, int& index) {
  if (!ValidChannel(channelNumber)) return Outcome::Failure(kChannelRange, "channel");
  Outcome failure;
  const std::optional<int> seconds =
      ReadValue(channel, kCmdReadPeriod, static_cast<uint8_t>(channelNumber), failure);
  return SelectRead(seconds, SamplePeriods(), "period", index, failure);
}

Outcome WriteSamplePeriod(devlink::Channel& channel, int channelNumber, int seconds) {
  if (!ValidChannel(channelNumber)) return Outcome::Failure(kChannelRange, "channel");
  if (FindEntry(SamplePeriods(), seconds) < 0) return Outcome::Failure(kPeriodNotInList, "period");
  return WriteValue(channel, kCmdWritePeriod, static_cast<uint8_t>(channelNumber), seconds);
}

Outcome ReadScreenOff(devlink::Channel& channel, int& index) {
  Outcome failure;
  const std::optional<int> seconds = ReadValue(channel, kCmdReadScreenOff, kNoChannel, failure);
  return SelectRead(seconds, ScreenOffTimes(), "time", index, failure);
}

Outcome WriteScreenOff(devlink::Channel& channel, int seconds) {
  if (FindEntry(ScreenOffTimes(), seconds) < 0) {
    return Outcome::Failure(kScreenOffNotInList, "time");
  }
  return WriteValue(channel, kCmdWriteScreenOff, kNoChannel, seconds);
}

// ---- tool-cli verbs ----

namespace {

std::optional<int> ParseInt(const Args& args, const std::string& name) {
  auto it = args.find(name);
  if (it == args.end()) return std::nullopt;
  const std::string& text = it->second;
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// A value given as seconds ("120") or as an entry's text ("2分"); -1 when it is neither.
int EntryArg(const Args& args, const std::string& name, std::span<const Entry> entries) {
  if (const std::optional<int> seconds = ParseInt(args, name)) return *seconds;
  auto it = args.find(name);
  if (it == args.end()) return -1;
  for (const Entry& entry : entries) {
    if (entry.text == it->second) return entry.seconds;
  }
  return -1;
}

std::string EntryHelp(const char* what, std::span<const Entry> entries) {
  std::string help = std::string(what) + " in seconds or as listed:";
  for (const Entry& entry : entries) help += " " + entry.text;
  return help;
}

}  // namespace

CommandSet Commands() {
  CommandSet set{
      "property2", "property settings 2: sample period per channel, screen-off time", {}};
  auto& c = set.commands;
  c.push_back({"read-sample-period",
               "read the sample period of a channel",
               {{"channel", "channel number 1..32"}},
               [](devlink::Channel& channel, const Args& args) {
                 const std::optional<int> number = ParseInt(args, "channel");
                 if (!number) return Outcome::Failure(kChannelRange, "channel");
                 int index = -1;
                 return ReadSamplePeriod(channel, *number, index);
               }});
  c.push_back({"write-sample-period",
               "write the sample period of a channel",
               {{"channel", "channel number 1..32"},
                {"period", EntryHelp("sample period", SamplePeriods())}},
               [](devlink::Channel& channel, const Args& args) {
                 const std::optional<int> number = ParseInt(args, "channel");
                 if (!number) return Outcome::Failure(kChannelRange, "channel");
                 return WriteSamplePeriod(channel, *number,
                                          EntryArg(args, "period", SamplePeriods()));
               }});
  c.push_back({"read-screen-off",
               "read the screen-off time",
               {},
               [](devlink::Channel& channel, const Args&) {
                 int index = -1;
                 return ReadScreenOff(channel, index);
               }});
  c.push_back({"write-screen-off",
               "write the screen-off time",
               {{"time", EntryHelp("screen-off time", ScreenOffTimes())}},
               [](devlink::Channel& channel, const Args& args) {
                 return WriteScreenOff(channel, EntryArg(args, "time", ScreenOffTimes()));
               }});
  return set;
}

}  // namespace pages::property2
