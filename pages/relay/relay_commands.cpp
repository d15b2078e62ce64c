#include "pages/relay/relay_commands.h"

#include <cmath>
#include <cstdio>

#include "link/relay_frame.h"
#include "link/reply_reader.h"
#include "pages/kit/exchange_step.h"

namespace pages::relay {

namespace {

using devlink::Bytes;
using devlink::ByteView;
using devlink::RelayCrc;

constexpr uint8_t kCmdReadGprs = 0x50;      // 'P'
constexpr uint8_t kCmdWriteGprs = 0x51;     // 'Q'
constexpr uint8_t kCmdSetTime = 0x52;       // 'R'
constexpr uint8_t kCmdReadTime = 0x53;      // 'S'
constexpr uint8_t kCmdClear = 0x54;         // 'T'
constexpr uint8_t kCmdReadTable = 0x93;
constexpr uint8_t kCmdTable = 0x49;         // 'I'
constexpr uint8_t kCmdReadPhones = 0x4A;    // 'J'
constexpr uint8_t kCmdWritePhones = 0x48;   // 'H'
constexpr uint8_t kCmdReadPrint = 0x56;     // 'V'
constexpr uint8_t kCmdWritePrint = 0x57;    // 'W'
constexpr uint8_t kCmdPowerOn = 0xF3;
constexpr uint8_t kCmdPowerOff = 0xF4;

constexpr size_t kGprsReply = 56;
constexpr size_t kShortReply = 7;
constexpr size_t kTimeReply = 13;
constexpr size_t kTableReply = 112;
constexpr size_t kPhonesReply = 41;
constexpr size_t kPrintReply = 38;  // the shortest a TCP reply may be
constexpr uint8_t kGprsCount = 0x34;
constexpr uint8_t kTableCount = 0x6C;
constexpr uint8_t kPhonesCount = 0x23;
constexpr char kTableOk[] = "\r\nRec Config OK!";
constexpr char kCommandOk[] = "\r\nCommand Rec!";
constexpr char kPhonesOk[] = "\x3C\x30\x30\x30\x09";
// The display mode's power frames (38400 baud).
constexpr std::array<uint8_t, 7> kPowerOn38400{0x24, 0xAA, 0xAA, 0xCC, 0x00, 0x11, 0x55};
constexpr std::array<uint8_t, 7> kPowerOff38400{0x24, 0xAA, 0xAA, 0xCC, 0x00, 0x22, 0x66};
constexpr int32_t kLimitMagnitude = 0x7FFF;  // sign-magnitude 16 bits

// Offsets of the table inside the 'I' frame (request and read reply alike).
constexpr size_t kTableSns = 7;
constexpr size_t kTableIds = 47;
constexpr size_t kTableLimits = 67;
constexpr size_t kTableMask = 107;

Outcome RowRefusal(const char* format, int row) {
  char text[96];
  std::snprintf(text, sizeof text, format, row);
  return Outcome::Refused(text, "row");
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string Format(const char* format, auto... values) {
  char text[64];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// A limit cell: empty counts as 0; the value × 100 truncated toward zero. The tiny nudge keeps
// decimals that binary floating point cannot hold exactly (0.29 × 100 = 28.999…) at their
// written value.
std::optional<int32_t> LimitHundredths(std::string_view cell) {
  const std::string_view text = TrimBlanks(cell);
  if (text.empty()) return 0;
  const std::optional<double> value = ParseWholeNumber(text);
  if (!value) return std::nullopt;
  const double scaled = std::trunc(*value * 100.0 + std::copysign(1e-7, *value));
  if (std::fabs(scaled) > kLimitMagnitude) return std::nullopt;
  return static_cast<int32_t>(scaled);
}

// "25.50", or "-" and the magnitude when the sign bit is set (so 80 00 reads "-0.00").
std::string LimitText(devlink::ReplyReader& in) {
  const uint8_t high = in.U8();
  const int magnitude = ((high & 0x7F) << 8) | in.U8();
  return Format((high & 0x80) != 0 ? "-%.2f" : "%.2f", magnitude * 0.01);
}

// "%02X%02X%05d" of a 4-byte SN: prefix bytes, then the number high byte first.
std::string SnText(devlink::ReplyReader& in, const char* format) {
  const uint8_t first = in.U8();
  const uint8_t second = in.U8();
  return Format(format, first, second, in.U16Be());
}

Result<Bytes> Exchange(devlink::Channel& channel, const Bytes& request, ReplyRule rule,
                       std::string_view failure) {
  return RunExchange(channel, request, rule.SerialOnly(), failure);
}

}  // namespace

std::optional<std::array<uint8_t, 4>> EncodeSn(std::string_view sn) { return ParseSnCode(sn); }

// ---- GPRS ----

Values Describe(const GprsRecord& value) {
  Values values{{"interval", value.interval},
                {"server-port", value.port},
                {"ip", FormatIpv4(value.ip)},
                {"sn", value.sn},
                {"domain", value.domain}};
  if (value.gprs <= 1) {
    values.emplace_back("gprs", value.gprs == 1);
  } else {
    values.emplace_back("gprs-byte", int64_t{value.gprs});
  }
  if (value.addressMode <= 1) {
    values.emplace_back("mode", std::string(value.addressMode == 1 ? "domain" : "ip"));
  } else {
    values.emplace_back("mode-byte", int64_t{value.addressMode});
  }
  return values;
}

Result<GprsRecord> ReadGprs(devlink::Channel& channel) {
  const auto reply =
      Exchange(channel, devlink::BuildRelayRead(kCmdReadGprs),
               RelayRule(devlink::RelayAnswer(kGprsReply, kCmdReadGprs, kGprsCount)),
               kReadConfigFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 8);
  GprsRecord record;
  record.interval = in.U16Le();
  record.port = in.Skip(2).U16Le();
  for (uint8_t& part : record.ip) part = in.U8();
  record.gprs = in.U8();
  record.sn = SnText(in, "%02x%02x%05d");
  const ByteView domain = in.Take(kDomainBytes);
  // The length byte after the domain says how much of it is the name (a zero byte ends it too).
  const size_t length = std::min<size_t>(in.U8(), domain.size());
  record.domain = devlink::ReplyReader(domain).Text(length, devlink::kCodePageOem);
  record.addressMode = in.U8();
  // The GPRS and mode bytes are shown raw when they are neither 0 nor 1 (see Describe); an
  // interval that no write can set is no reading.
  in.Require(!in.ok() || (record.interval <= kIntervalMax &&
                          IsDivisorOrMultiple(record.interval, kIntervalBase)),
             "interval " + std::to_string(record.interval) + " is no divisor or multiple of 60");
  if (!in.ok()) return DecodeFailure(kReadConfigFailed, in);
  return {kReadConfigOk, record};
}

namespace {

// The checks of the settings before the SN's, which WriteGprsKeepingSn makes before it reads.
std::optional<Outcome> GprsRefusal(const GprsSettings& settings) {
  if (settings.interval > kIntervalMax || !IsDivisorOrMultiple(settings.interval, kIntervalBase)) {
    return Outcome::Refused(kIntervalRange, "interval");
  }
  if (settings.port < 0 || settings.port > 0xFFFF) return Outcome::Refused(kPortRange, "server-port");
  return std::nullopt;
}

}  // namespace

Outcome WriteGprs(devlink::Channel& channel, const GprsSettings& settings) {
  if (std::optional<Outcome> refused = GprsRefusal(settings)) return *refused;
  if (settings.sn.empty()) return Outcome::Refused(kSnInvalid, "sn");
  const auto sn = EncodeSn(settings.sn);
  if (!sn) return Outcome::Refused(kSnInvalid, "sn");
  auto domainBytes = DeviceTextBytes(settings.domain, devlink::kCodePageOem, kDomainBytes, "domain");
  if (auto* refused = std::get_if<Outcome>(&domainBytes)) return *refused;
  Bytes& domain = std::get<Bytes>(domainBytes);

  Bytes payload{0x00, 0x00};
  devlink::PutLe16(payload, static_cast<uint16_t>(settings.interval));
  payload.insert(payload.end(), {0x00, 0x00});
  devlink::PutLe16(payload, static_cast<uint16_t>(settings.port));
  payload.insert(payload.end(), settings.ip.begin(), settings.ip.end());
  payload.push_back(settings.gprsOff ? 0 : 1);
  payload.insert(payload.end(), sn->begin(), sn->end());
  const size_t domainLength = domain.size();
  domain.resize(kDomainBytes, 0x00);
  payload.insert(payload.end(), domain.begin(), domain.end());
  payload.push_back(static_cast<uint8_t>(domainLength));
  payload.push_back(settings.domainMode && !settings.gprsOff ? 1 : 0);
  const Bytes request = devlink::BuildRelayFrame(kCmdWriteGprs, payload, RelayCrc::HighFirst);
  const auto reply = Exchange(channel, request,
                              RelayRule(devlink::RelayAnswer(kShortReply, kCmdWriteGprs, 1)),
                              kGprsFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kGprsOk);
}

Outcome WriteGprsKeepingSn(devlink::Channel& channel, GprsSettings settings) {
  if (std::optional<Outcome> refused = GprsRefusal(settings)) return *refused;
  auto domainBytes = DeviceTextBytes(settings.domain, devlink::kCodePageOem, kDomainBytes, "domain");
  if (auto* refused = std::get_if<Outcome>(&domainBytes)) return *refused;
  const Result<GprsRecord> record = ReadGprs(channel);
  if (!record.ok()) return record.outcome;  // nothing written
  settings.sn = record.value.sn;
  return WriteGprs(channel, settings);
}

// ---- clock and history ----

Values Describe(const ClockText& value) { return {{"time", value.text}}; }

Outcome SetTime(devlink::Channel& channel, const RelayTime& t) {
  if (t.year < 2000 || t.year > 2099 || !IsRealDateTime(t)) return Outcome::Refused(kTimeInvalid, "at");
  const Bytes payload{devlink::EncodeBcd8(t.year - 2000), devlink::EncodeBcd8(t.month),
                      devlink::EncodeBcd8(t.day),         devlink::EncodeBcd8(t.hour),
                      devlink::EncodeBcd8(t.minute),      devlink::EncodeBcd8(t.second)};
  const auto reply = Exchange(
      channel, devlink::BuildRelayFrame(kCmdSetTime, payload, RelayCrc::None),
      RelayRule(devlink::RelayAnswer(kShortReply, kCmdSetTime, 1)).SerialDelayMs(kClockWaitMs),
      kTimeFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kTimeOk);
}

Result<ClockText> ReadTime(devlink::Channel& channel) {
  const auto reply = Exchange(
      channel, devlink::BuildRelayRead(kCmdReadTime),
      RelayRule(devlink::RelayAnswer(kTimeReply, kCmdReadTime, 7)).SerialDelayMs(kClockWaitMs),
      kReadTimeFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 6);
  const devlink::DateTime clock = in.BcdDateTime();
  if (!in.ok()) return DecodeFailure(kReadTimeFailed, in);
  return {{}, ClockText{devlink::FormatDateTime(clock)}};
}

Outcome ClearData(devlink::Channel& channel) {
  const auto reply =
      Exchange(channel, devlink::BuildRelayFrame(kCmdClear, kClearCode, RelayCrc::None),
               RelayRule(devlink::RelayAnswer(kShortReply, -1, 1)), kClearFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kClearOk);
}

// ---- instrument table ----

Values Describe(const InstrumentTable& table) {
  Values values;
  int64_t count = 0;
  for (const InstrumentRow& row : table) count += TrimBlanks(row.id).empty() ? 0 : 1;
  values.emplace_back("count", count);
  for (size_t k = 0; k < table.size(); ++k) {
    const InstrumentRow& row = table[k];
    if (row == InstrumentRow{}) continue;
    values.emplace_back("row-" + std::to_string(k + 1),
                        row.id + "," + row.sn + "," + row.upper + "," + row.lower + "," +
                            (row.alarm ? "on" : "off"));
  }
  return values;
}

Result<InstrumentTable> ReadInstruments(devlink::Channel& channel) {
  devlink::RelayReply rule;
  rule.length = kTableReply;
  rule.fixed = {{0, devlink::kRelayRequestStart}, {4, kCmdTable}, {5, kTableCount},
                {kTableReply - 1, devlink::kRelayEnd}};
  const auto reply = Exchange(channel, devlink::BuildRelayRead(kCmdReadTable), RelayRule(rule),
                              kReadConfigFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 6);
  InstrumentTable table;
  const int count = std::min<int>(in.U8(), kInstrumentRows);
  for (int k = 0; k < count; ++k) {
    InstrumentRow& row = table[k];
    row.sn = SnText(in.Seek(kTableSns + 4 * k), "%02X%02X%05d");
    in.Seek(kTableIds + 2 * k);
    const int high = in.Bcd();
    row.id = Format("%02d%02d", high, in.Bcd());
    row.upper = LimitText(in.Seek(kTableLimits + 4 * k));
    row.lower = LimitText(in);
  }
  const unsigned mask = in.Seek(kTableMask).U16Be();
  if (!in.ok()) return DecodeFailure(kReadConfigFailed, in);
  for (int k = 0; k < kInstrumentRows; ++k) table[k].alarm = (mask >> k) & 1;
  return {kReadConfigOk, table};
}

InstrumentTable WithoutGaps(const InstrumentTable& table) {
  InstrumentTable packed;
  size_t next = 0;
  for (const InstrumentRow& row : table) {
    if (!TrimBlanks(row.id).empty()) packed[next++] = row;
  }
  return packed;
}

Outcome WriteInstruments(devlink::Channel& channel, const InstrumentTable& given) {
  // Every row is checked where the user typed it, so a refusal names the row on the screen. A
  // row with no ID is not an instrument; anything else typed in it would be lost unseen.
  for (int k = 0; k < kInstrumentRows; ++k) {
    const InstrumentRow& row = given[k];
    const std::string_view id = TrimBlanks(row.id);
    if (id.size() > 4 || !AllDigits(id) ||
        (id.empty() && !(TrimBlanks(row.sn).empty() && TrimBlanks(row.upper).empty() &&
                         TrimBlanks(row.lower).empty()))) {
      return RowRefusal(kRowIdInvalid, k + 1);
    }
    if (!TrimBlanks(row.sn).empty() && !EncodeSn(TrimBlanks(row.sn))) {
      return RowRefusal(kRowSnInvalid, k + 1);
    }
    if (!LimitHundredths(row.upper) || !LimitHundredths(row.lower)) {
      return RowRefusal(kRowLimitInvalid, k + 1);
    }
  }
  const InstrumentTable table = WithoutGaps(given);
  Bytes sns, ids, limits;
  uint8_t count = 0;
  unsigned mask = 0;
  for (int k = 0; k < kInstrumentRows; ++k) {
    const InstrumentRow& row = table[k];
    const std::string_view id = TrimBlanks(row.id);
    if (!id.empty()) ++count;
    const int number = id.empty() ? 0 : static_cast<int>(*ParseWholeInt(id));
    ids.push_back(devlink::EncodeBcd8(number / 100));
    ids.push_back(devlink::EncodeBcd8(number % 100));
    const std::string_view snText = TrimBlanks(row.sn);
    const std::array<uint8_t, 4> sn = snText.empty() ? std::array<uint8_t, 4>{} : *EncodeSn(snText);
    sns.insert(sns.end(), sn.begin(), sn.end());
    for (const std::string& cell : {row.upper, row.lower}) {
      uint8_t high = 0, low = 0;
      devlink::EncodeSignMag16(*LimitHundredths(cell), high, low);
      limits.insert(limits.end(), {high, low});
    }
    if (row.alarm) mask |= 1u << k;
  }
  Bytes payload{count};
  payload.insert(payload.end(), sns.begin(), sns.end());
  payload.insert(payload.end(), ids.begin(), ids.end());
  payload.insert(payload.end(), limits.begin(), limits.end());
  devlink::PutBe16(payload, static_cast<uint16_t>(mask));
  payload.insert(payload.end(), {0x00, 0x00});
  const Bytes request = devlink::BuildRelayFrame(kCmdTable, payload, RelayCrc::HighFirst,
                                                 devlink::kRelayBlockWrite);
  const auto reply = Exchange(channel, request, RelayRule(devlink::RelayExactReply(kTableOk)),
                              kInstrumentsFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kInstrumentsOk);
}

// ---- phone numbers ----

Values Describe(const PhoneNumbers& value) {
  return {{"1", value.numbers[0]}, {"2", value.numbers[1]}, {"3", value.numbers[2]}};
}

Result<PhoneNumbers> ReadPhones(devlink::Channel& channel) {
  devlink::RelayReply rule = devlink::RelayAnswer(kPhonesReply, kCmdReadPhones, kPhonesCount,
                                                  /*zeroByte3=*/false);
  const auto reply = Exchange(channel, devlink::BuildRelayRead(kCmdReadPhones), RelayRule(rule),
                              kPhonesReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 6);
  PhoneNumbers phones;
  for (std::string& number : phones.numbers) number = devlink::DecodeLatin1Text(in.Take(kPhoneDigits));
  if (!in.ok()) return DecodeFailure(kPhonesReadFailed, in);
  return {kPhonesReadOk, phones};
}

Outcome WritePhones(devlink::Channel& channel, const PhoneNumbers& phones) {
  Bytes payload;
  uint8_t last = 0;
  for (int i = 0; i < kPhoneCount; ++i) {
    const std::string& number = phones.numbers[i];
    if (!number.empty() && (number.size() != kPhoneDigits || !AllDigits(number))) {
      return Outcome::Refused(kPhoneInvalid, std::to_string(i + 1));
    }
    if (!number.empty()) last = static_cast<uint8_t>(i + 1);
    Bytes digits(number.begin(), number.end());
    digits.resize(kPhoneDigits, 0x00);
    payload.insert(payload.end(), digits.begin(), digits.end());
  }
  payload.push_back(last);
  const Bytes request = devlink::BuildRelayFrame(kCmdWritePhones, payload, RelayCrc::HighFirst,
                                                 devlink::kRelayBlockWrite);
  const auto reply = Exchange(channel, request, RelayRule(devlink::RelayExactReply(kPhonesOk)),
                              kPhonesSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kPhonesSetOk);
}

// ---- print settings (serial or TCP) ----

Values Describe(const PrintSettings& value) { return {{"company", value.company}}; }

Result<PrintSettings> ReadPrintSettings(devlink::Channel& channel) {
  devlink::RelayReply rule;
  rule.length = kPrintReply;
  rule.lengthFromByte5 = true;
  rule.fixed = {{0, devlink::kRelayReplyStart}, {4, kCmdReadPrint}};
  rule.endsWithEnd = true;
  const auto reply = RunExchange(channel, devlink::BuildRelayRead(kCmdReadPrint),
                                 RelayRule(rule, devlink::kSerialReadLimit), kPrintReadFailed);
  if (!reply.ok()) return reply.outcome;
  const Bytes& r = reply.value;
  // The name runs from byte 6 for as many bytes as the byte before the 'f' says, never into it.
  devlink::ReplyReader in(r, r.size() - 2);
  const size_t count = std::min<size_t>(in.U8(), r.size() - 8);
  const std::string company = in.Seek(6).Text(count, devlink::kCodePageOem);
  if (!in.ok()) return DecodeFailure(kPrintReadFailed, in);
  return {{}, PrintSettings{company}};
}

Outcome WritePrintSettings(devlink::Channel& channel, const std::string& company) {
  auto nameBytes = DeviceTextBytes(company, devlink::kCodePageOem, kCompanyBytes, "company");
  if (auto* refused = std::get_if<Outcome>(&nameBytes)) return *refused;
  Bytes& name = std::get<Bytes>(nameBytes);
  const size_t length = name.size();
  name.resize(kCompanyBytes, 0x00);
  name.push_back(static_cast<uint8_t>(length));
  const Bytes request = devlink::BuildRelayFrame(kCmdWritePrint, name, RelayCrc::HighFirst,
                                                 devlink::kRelayBlockWrite);
  devlink::RelayReply rule;
  rule.length = kShortReply;
  rule.fixed = {{0, devlink::kRelayReplyStart}, {4, kCmdWritePrint}, {6, devlink::kRelayEnd}};
  const auto reply = RunExchange(channel, request, RelayRule(rule), kPrintSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kPrintSetOk);
}

// ---- power ----

Outcome SwitchPower(devlink::Channel& channel, Power power, const std::string& baudText) {
  const bool on = power == Power::On;
  Bytes request;
  if (baudText == "38400") {
    const auto& frame = on ? kPowerOn38400 : kPowerOff38400;
    request.assign(frame.begin(), frame.end());
  } else if (baudText == "9600") {
    request = devlink::BuildRelayFrame(on ? kCmdPowerOn : kCmdPowerOff, {}, RelayCrc::HighFirst);
  } else {
    return Outcome::Failure(kPortOpenFailed);
  }
  const auto reply = Exchange(channel, request, RelayRule(devlink::RelayExactReply(kCommandOk)),
                              on ? kPowerOnFailed : kPowerOffFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(on ? kPowerOnOk : kPowerOffOk);
}

}  // namespace pages::relay
