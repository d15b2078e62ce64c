// The logger kind's curve exchanges (frames in logger_curve.h).
#include "calibration/curves/logger_curve.h"

#include <algorithm>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "calibration/curves/curvecal_kinds.h"
#include "ini_document.h"  // calstore_ini: the INI reader calstore uses
#include "link/relay_frame.h"
#include "pages/kit/local_files.h"
#include "pages/kit/exchange_step.h"

namespace pages::curvecal {

using devlink::ByteView;
using devlink::Bytes;
using devlink::Channel;

namespace logger {

namespace {

constexpr uint8_t kRequestStart = '#';
constexpr uint8_t kWriteStart = '%';
constexpr uint8_t kReplyStart = '<';
constexpr uint8_t kZero = '0';
constexpr uint8_t kEnd = 'f';
constexpr uint8_t kCurveCommand = '4';
constexpr uint8_t kChannelListCommand = '2';
constexpr uint8_t kRealTimeCommand = '5';
constexpr uint8_t kDisplayCommand = 'q';
constexpr uint8_t kSerialDisplayChannel = 0xFF;
constexpr uint8_t kSerialDisplayCommand = '9';
constexpr uint8_t kInitialiseMark = 'e';     // initialise frame byte 5
constexpr uint8_t kWriteDone = 0x09;          // write reply byte 4
constexpr size_t kChannelMapAt = 102;         // channel list: bit i set = physical channel i + 1
constexpr size_t kChannelCodesAt = 62;        // channel list: code + 5 of physical channel i + 1
constexpr int kCodeBias = 5;

constexpr std::array<uint16_t, 11> kDefaultHumidity{25,  125, 225, 325, 427, 525,
                                                    626, 725, 834, 925, 1025};
constexpr std::array<uint16_t, 15> kDefaultTemperature{180,  248,  411,  646,  970,
                                                       1375, 1822, 2260, 2676, 3021,
                                                       3285, 3495, 3648, 3762, 3835};

}  // namespace

size_t ReadingCount(bool humidity) {
  return humidity ? kDefaultHumidity.size() : kDefaultTemperature.size();
}

std::span<const uint16_t> DefaultCurve(bool humidity) {
  if (humidity) return kDefaultHumidity;
  return kDefaultTemperature;
}

std::vector<std::optional<ListedChannel>> ChannelsOfList(ByteView reply) {
  std::vector<std::optional<ListedChannel>> channels;
  if (reply.size() < kChannelListReply) return channels;
  devlink::ReplyReader in(reply);
  const uint8_t map = in.Seek(kChannelMapAt).U8();
  for (int i = 0; i < kLoggerChannels; ++i) {
    if ((map >> i & 1) == 0) continue;
    const int codeByte = kZero + in.Seek(kChannelCodesAt + static_cast<size_t>(i)).U8() - kCodeBias;
    if (!in.ok()) return {};
    if (codeByte > 0xFF) {
      channels.emplace_back();  // numbered, but its code cannot be sent
    } else {
      channels.push_back(ListedChannel{static_cast<uint8_t>(codeByte), i + 1});
    }
  }
  return channels;
}

namespace {

// The leading integer of an INI line as atoi reads it (blanks, a sign, digits); none when the
// line does not begin with digits. Saturates far beyond the 16-bit range.
std::optional<int64_t> LeadingIntegerOf(std::string_view line) {
  size_t at = 0;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  bool negative = false;
  if (at < line.size() && (line[at] == '+' || line[at] == '-')) negative = line[at++] == '-';
  if (at >= line.size() || line[at] < '0' || line[at] > '9') return std::nullopt;
  int64_t value = 0;
  for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
    value = std::min<int64_t>(value * 10 + (line[at] - '0'), int64_t{1} << 40);
  }
  return negative ? -value : value;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return text;
}

}  // namespace

std::variant<std::vector<uint16_t>, Outcome> InitialReadings(const std::string& iniPath,
                                                             bool humidity) {
  const std::span<const uint16_t> defaults = DefaultCurve(humidity);
  std::vector<uint16_t> readings;
  if (const auto text = ReadTextFile(iniPath)) {
    const calstore::IniDocument doc = calstore::IniDocument::Parse(*text);
    const char* section = humidity ? kHumiditySection : kTemperatureSection;
    for (const std::string& line : calstore::SectionEntries(doc, section, kIniSectionBuffer)) {
      if (readings.size() == defaults.size()) break;
      const auto value = LeadingIntegerOf(line);
      if (!value) continue;
      if (*value < 0 || *value > 0xFFFF) return Outcome::Refused(kIniValueInvalid, kFieldPath);
      readings.push_back(static_cast<uint16_t>(*value));
    }
  }
  // No value at all: the default curve; fewer than N: the default curve's for the rest.
  readings.insert(readings.end(), defaults.begin() + static_cast<long>(readings.size()),
                  defaults.end());
  return readings;
}

Bytes BuildInitialiseFrame(uint8_t codeByte, const std::vector<uint16_t>& readings,
                           int dayOfMonth) {
  Bytes frame(kCurveFrame, 0x00);
  frame[0] = kWriteStart;
  frame[1] = kZero;
  frame[2] = kZero;
  frame[3] = codeByte;
  frame[4] = kCurveCommand;
  frame[5] = kInitialiseMark;
  frame[kCountAt] = static_cast<uint8_t>(readings.size());
  size_t at = kReadingsAt;
  for (uint16_t reading : readings) {
    frame[at++] = static_cast<uint8_t>(reading >> 8);
    frame[at++] = static_cast<uint8_t>(reading & 0xFF);
  }
  for (size_t j = 1; j < readings.size(); ++j) frame[at++] = kSeparator;
  frame[kDayAt] = static_cast<uint8_t>(dayOfMonth);
  frame[kCurveFrame - 1] = kEnd;
  return frame;
}

}  // namespace logger

namespace {

using namespace logger;

Bytes Request(uint8_t channelByte, uint8_t command) {
  return {kRequestStart, kZero, kZero, channelByte, command, kEnd};
}

// A fixed-length reply with '<' first and 'f' last. The fast read waits for the whole length:
// byte 4 is no SumFrame length.
ReplyRule FixedReply(size_t length) {
  devlink::RelayReply reply;
  reply.length = length;
  reply.fixed = {{0, kReplyStart}, {length - 1, kEnd}};
  return RelayRule(reply).NoLengthInHeader();
}

ReplyRule WriteReply() {
  devlink::RelayReply reply;
  reply.length = kWriteReply;
  reply.fixed = {{0, kReplyStart}, {4, kWriteDone}};
  return RelayRule(reply).NoLengthInHeader();
}

// The display reply: reply[5] + 6 bytes, '<' first, 'f' last, long enough for channel ch's
// single. The fast read ends where byte 5 says.
ReplyRule DisplayReply(int ch) {
  devlink::RelayReply reply;
  reply.length = 4 * static_cast<size_t>(ch) + 7;
  reply.lengthFromByte5 = true;
  reply.fixed = {{0, kReplyStart}};
  reply.endsWithEnd = true;
  return RelayRule(reply, devlink::kSerialReadLimit).UpTo(devlink::kSerialReadLimit)
      .NoLengthInHeader();
}

bool OverTcp(Channel& channel) {
  const devlink::DeviceLink* link = channel.Link();
  return link != nullptr && link->tcpMode;
}

bool ValidChannel(const CurveTarget& target) {
  return target.channel >= 1 && target.channel <= ChannelCount(InstrumentKind::Logger);
}

// The channel list entry of the target's channel.
Result<ListedChannel> ReadListedChannel(Channel& channel, const CurveTarget& target) {
  const auto reply = RunExchange(channel, Request(kZero, kChannelListCommand),
                                 FixedReply(kChannelListReply), kChannelReadFailed);
  if (!reply.ok()) return reply.outcome;
  const auto channels = ChannelsOfList(reply.value);
  const size_t index = static_cast<size_t>(target.channel - 1);
  if (index >= channels.size()) return Outcome::Refused(kChannelNotListed, kFieldChannel);
  if (!channels[index]) return Outcome::Failure(kChannelReadFailed);
  return {"", *channels[index]};
}

uint16_t ReadingAt(const CurveBuffer& buffer, size_t j) {
  const size_t at = kReadingsAt + 2 * j;
  return static_cast<uint16_t>(buffer.bytes[at] << 8 | buffer.bytes[at + 1]);
}

void PutReading(CurveBuffer& buffer, size_t j, uint16_t value) {
  const size_t at = kReadingsAt + 2 * j;
  buffer.bytes[at] = static_cast<uint8_t>(value >> 8);
  buffer.bytes[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

// The curve of a listed channel into the buffer, with its N readings; none when every reading
// is 0 (a record never written).
Result<Curve> ReadCurveOf(Channel& channel, const ListedChannel& listed, bool humidity,
                          CurveBuffer& buffer) {
  const auto reply = RunExchange(channel, Request(listed.codeByte, kCurveCommand),
                                 FixedReply(kCurveFrame), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  buffer.bytes.fill(0);
  std::copy(reply.value.begin(), reply.value.end(), buffer.bytes.begin());
  buffer.length = reply.value.size();
  Curve curve;
  for (size_t j = 0; j < ReadingCount(humidity); ++j) {
    curve.readings.push_back(ReadingAt(buffer, j));
  }
  if (std::all_of(curve.readings.begin(), curve.readings.end(), [](double r) { return r == 0; })) {
    return {kNotCalibrated, Curve{}};
  }
  return {"", std::move(curve)};
}

Result<uint16_t> ReadRealTime(Channel& channel, const ListedChannel& listed) {
  const auto reply = RunExchange(channel, Request(kZero, kRealTimeCommand),
                                 FixedReply(kRealTimeReply), kRealTimeReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 4 + 2 * static_cast<size_t>(listed.physical));
  const uint16_t raw = in.U16Be();
  if (!in.ok()) return DecodeFailure(kRealTimeReadFailed, in);
  return {"", raw};
}

// Sends the curve in the buffer back: '%' '0' '0', the code byte as read, '4'.
Outcome SendCurve(Channel& channel, CurveBuffer& buffer) {
  if (buffer.length != kCurveFrame) return Outcome::Failure(kWriteFailed);
  buffer.bytes[0] = kWriteStart;
  buffer.bytes[1] = kZero;
  buffer.bytes[2] = kZero;
  buffer.bytes[4] = kCurveCommand;
  const Bytes request(buffer.bytes.begin(), buffer.bytes.begin() + static_cast<long>(kCurveFrame));
  const auto reply = RunExchange(channel, request, WriteReply(), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

// A value's whole part as a reading; none when it does not fit 16 bits unsigned (sent wrapped it
// would be another reading).
std::optional<uint16_t> WholeReading(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double whole = std::trunc(value);
  if (whole < 0 || whole > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(whole);
}

int LocalDayOfMonth() { return pages::LocalNow().tm_mday; }

}  // namespace

std::variant<std::vector<double>, Outcome> LoggerValuesOfRows(
    const std::vector<std::string>& column2, bool adjustAll) {
  if (column2.empty()) return Outcome::Refused(kListInvalid, kFieldPairs);
  std::vector<double> values;
  for (const std::string& text : column2) {
    const auto value = ParseWholeNumber(text);
    if (!value || (!adjustAll && column2.size() != 1)) {
      return Outcome::Refused(adjustAll ? kInvalidRows : kExtraRows, kFieldPairs);
    }
    values.push_back(*value);
  }
  return values;
}

std::variant<std::vector<double>, Outcome> ParseLoggerValues(std::string_view text,
                                                             bool adjustAll) {
  std::vector<std::string> column2;
  for (std::string_view item : SplitList(TrimBlanks(text), ',')) {
    column2.emplace_back(item.substr(0, item.find(':')));
  }
  return LoggerValuesOfRows(column2, adjustAll);
}

Result<Curve> ReadLoggerCurve(Channel& channel, const CurveTarget& target, CurveBuffer& buffer) {
  if (!ValidChannel(target)) return Outcome::Refused(kReadFailed, kFieldChannel);
  const auto listed = ReadListedChannel(channel, target);
  if (!listed.ok()) return listed.outcome;
  return ReadCurveOf(channel, listed.value, target.humidity, buffer);
}

Result<LiveValue> ReadLoggerRawValue(Channel& channel, const CurveTarget& target) {
  if (!ValidChannel(target)) return Outcome::Refused(kReadFailed, kFieldChannel);
  const auto listed = ReadListedChannel(channel, target);
  if (!listed.ok()) return listed.outcome;
  const auto raw = ReadRealTime(channel, listed.value);
  if (!raw.ok()) return raw.outcome;
  return {"", LiveValue{static_cast<double>(raw.value)}};
}

Result<LiveValue> ReadLoggerDisplayValue(Channel& channel, const CurveTarget& target) {
  if (!ValidChannel(target)) return Outcome::Refused(kReadFailed, kFieldChannel);
  const Bytes first = Request(kZero, kDisplayCommand);
  Result<Bytes> reply = Outcome::Failure(kReadFailed);
  if (OverTcp(channel)) {
    reply = RunExchange(channel, first, DisplayReply(target.channel), kReadFailed);
  } else {
    // Over the serial port the first request only prepares the answer; its reply is not read.
    const auto prepared = RunExchange(channel, first,
                                      UncheckedRule(devlink::kSerialReadLimit,
                                                    devlink::FrameFamily::Sum),
                                      kReadFailed);
    if (!prepared.ok() && prepared.message() == kPortOpenFailed) return prepared.outcome;
    reply = RunExchange(channel, Request(kSerialDisplayChannel, kSerialDisplayCommand),
                        DisplayReply(target.channel), kReadFailed);
  }
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 4 * static_cast<size_t>(target.channel) + 2);
  const double value = SingleToDecimal(in.FiniteFloat32Le());
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {"", LiveValue{value}};
}

Outcome WriteLoggerReadings(Channel& channel, const CurveTarget& target,
                            const std::vector<double>& values, CurveBuffer& buffer) {
  if (!ValidChannel(target)) return Outcome::Refused(kWriteFailed, kFieldChannel);
  if (values.empty()) return Outcome::Refused(kListInvalid, kFieldPairs);
  std::vector<uint16_t> readings(ReadingCount(target.humidity), 0);
  for (size_t i = 0; i < readings.size() && i < values.size(); ++i) {
    const auto reading = WholeReading(values[i]);
    if (!reading) return Outcome::Refused(kInvalidRows, kFieldPairs);
    readings[i] = *reading;
  }
  const auto read = ReadLoggerCurve(channel, target, buffer);
  if (!read.ok()) return read.outcome;
  for (size_t i = 0; i < readings.size(); ++i) PutReading(buffer, i, readings[i]);
  return SendCurve(channel, buffer);
}

Outcome WriteLoggerPoint(Channel& channel, const CurveTarget& target, double environment,
                         CurveBuffer& buffer) {
  if (!ValidChannel(target)) return Outcome::Refused(kWriteFailed, kFieldChannel);
  const size_t count = ReadingCount(target.humidity);
  const double pointOffset = target.humidity ? 0.0 : 4.0;  // index of the 0 reference point
  const double k = environment * 0.1 + pointOffset;
  // c lies on a reference point when c × 10 is a multiple of 100 (c a whole multiple of 10).
  const double tens = environment / 10.0;
  const bool onPoint = std::isfinite(tens) && std::abs(tens - std::round(tens)) < 1e-9;
  // Only environment values within the curve's reference range name a point to store: on a
  // point, that one; between two, the upper one.
  const double last = static_cast<double>(count - 1);
  const bool inRange = std::isfinite(k) && (onPoint ? std::round(k) >= 0 && std::round(k) <= last
                                                    : k >= 0 && k < last);
  if (!inRange) return Outcome::Refused(kInvalidRows, kFieldPairs);
  const auto listed = ReadListedChannel(channel, target);
  if (!listed.ok()) return listed.outcome;
  const auto read = ReadCurveOf(channel, listed.value, target.humidity, buffer);
  if (!read.ok()) return read.outcome;
  const auto raw = ReadRealTime(channel, listed.value);
  if (!raw.ok()) return raw.outcome;
  const double r = raw.value;
  if (onPoint) {
    PutReading(buffer, static_cast<size_t>(std::llround(k)), raw.value);
  } else {
    // The point above, on the line through point e and the measured pair (c, r).
    const auto e = static_cast<size_t>(std::trunc(k));
    const double g = static_cast<double>(e) * 10.0 - pointOffset * 10.0;
    const double f = ReadingAt(buffer, e);
    const auto above = WholeReading(f + (r - f) / (environment - g) * 10.0);
    if (!above) {
      Outcome refused = Outcome::Failure(kWriteFailed);
      refused.detail = "the extrapolated reading does not fit 0..65535";
      return refused;
    }
    PutReading(buffer, e + 1, *above);
  }
  return SendCurve(channel, buffer);
}

Outcome InitialiseLoggerCurve(Channel& channel, const CurveTarget& target,
                              const std::string& iniPath) {
  if (!ValidChannel(target)) return Outcome::Refused(kWriteFailed, kFieldChannel);
  auto readings = InitialReadings(iniPath, target.humidity);
  if (auto* refusal = std::get_if<Outcome>(&readings)) return *refusal;
  const auto listed = ReadListedChannel(channel, target);
  if (!listed.ok()) return listed.outcome;
  const Bytes frame = BuildInitialiseFrame(
      listed.value.codeByte, std::get<std::vector<uint16_t>>(readings), LocalDayOfMonth());
  const auto reply = RunExchange(channel, frame, WriteReply(), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

}  // namespace pages::curvecal
