// Relay commands against a scripted channel: exact request bytes, reply acceptance, decoding,
// refusals that send nothing, and serial-only commands on a TCP channel.
#include "pages/relay/relay_commands.h"

#include <gtest/gtest.h>

#include <cstring>

#include "link/testing/scripted_channel.h"
#include "pages/testing/results.h"

namespace pages::relay {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;
using pages::testing::Into;

// The request with 'f' and its CRC (bytes 1..'f', high byte first) appended.
Bytes Sealed(Bytes frame) {
  frame.push_back(0x66);
  const uint16_t crc =
      devlink::Crc16Modbus(frame.data() + 1, static_cast<uint32_t>(frame.size() - 1));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  return frame;
}

// '<' 30 30 00 command N body 'f'.
Bytes Answer(uint8_t command, uint8_t count, const Bytes& body) {
  Bytes reply{0x3C, 0x30, 0x30, 0x00, command, count};
  reply.insert(reply.end(), body.begin(), body.end());
  reply.push_back(0x66);
  return reply;
}

const Bytes kShortQ = {0x3C, 0x30, 0x30, 0x00, 'Q', 0x01, 0x66};

Bytes GprsBody(uint8_t gprs, uint8_t mode, const std::string& domain, uint8_t domainCount) {
  Bytes body{0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0xDE, 0x0D, 192, 0, 2, 7, gprs, 0x0A, 0x1B,
             0x00, 0x2A};
  Bytes name(domain.begin(), domain.end());
  name.resize(30, 0x00);
  body.insert(body.end(), name.begin(), name.end());
  body.push_back(domainCount);
  body.push_back(mode);
  return body;
}

TEST(RelayGprs, WriteSendsTheRecordWithSnHighByteFirstAndCrc) {
  ScriptedChannel channel;
  Bytes request{0x25, 0x30, 0x30, 0x00, 0x51, 0x34};
  const Bytes body = GprsBody(1, 1, "a.example.org", 13);
  request.insert(request.end(), body.begin(), body.end());
  channel.Expect(Sealed(request), kShortQ);
  GprsSettings settings;
  settings.interval = 15;
  settings.port = 3550;
  settings.ip = {192, 0, 2, 7};
  settings.sn = "0A1B00042";
  settings.domain = "a.example.org";
  settings.domainMode = true;
  const Outcome outcome = WriteGprs(channel, settings);
  EXPECT_EQ(outcome.message, kGprsOk);
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0].size(), 58u);
  EXPECT_TRUE(channel.Problems().empty());

  // GPRS off sends mode 0 even with the domain mode chosen.
  ScriptedChannel off;
  Bytes offRequest{0x25, 0x30, 0x30, 0x00, 0x51, 0x34};
  const Bytes offBody = GprsBody(0, 0, "a.example.org", 13);
  offRequest.insert(offRequest.end(), offBody.begin(), offBody.end());
  off.Expect(Sealed(offRequest), kShortQ);
  settings.gprsOff = true;
  EXPECT_EQ(WriteGprs(off, settings).message, kGprsOk);
  EXPECT_TRUE(off.Problems().empty());
}

TEST(RelayGprs, RefusedSettingsSendNothing) {
  struct Case {
    const char* name;
    GprsSettings settings;
    const char* message;
    const char* field;
  };
  GprsSettings good;
  good.sn = "0A1B00042";
  auto with = [&](auto change) {
    GprsSettings s = good;
    change(s);
    return s;
  };
  const Case cases[] = {
      {"empty SN", with([](GprsSettings& s) { s.sn.clear(); }), kSnInvalid, "sn"},
      {"short SN", with([](GprsSettings& s) { s.sn = "0A1B0004"; }), kSnInvalid, "sn"},
      {"SN number over 16 bits", with([](GprsSettings& s) { s.sn = "0A1B65536"; }), kSnInvalid,
       "sn"},
      {"port", with([](GprsSettings& s) { s.port = 65536; }), kPortRange, "server-port"},
      {"interval", with([](GprsSettings& s) { s.interval = 10000; }), kIntervalRange, "interval"},
      // The relay sends on the hour's divisions: 7 and 0 minutes are none.
      {"interval 7", with([](GprsSettings& s) { s.interval = 7; }), kIntervalRange, "interval"},
      {"interval 0", with([](GprsSettings& s) { s.interval = 0; }), kIntervalRange, "interval"},
      {"interval 9990", with([](GprsSettings& s) { s.interval = 9990; }), kIntervalRange,
       "interval"},
      {"domain control", with([](GprsSettings& s) { s.domain = "a\x01b"; }), kTextNotEncodable,
       "domain"},
      {"domain", with([](GprsSettings& s) { s.domain = std::string(31, 'a'); }), kTextTooLong,
       "domain"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    const Outcome outcome = WriteGprs(channel, c.settings);
    EXPECT_EQ(outcome.message, c.message) << c.name;
    EXPECT_EQ(outcome.field, c.field) << c.name;
    EXPECT_TRUE(channel.Sent().empty()) << c.name;
  }
}

TEST(RelayGprs, ReadDecodesTheRecordAndRefusesOtherLengths) {
  ScriptedChannel channel;
  // The domain count says 40: at most 30 bytes are taken, and the text ends at a zero byte.
  Bytes body = GprsBody(1, 1, "relay.example.net", 40);
  channel.Expect({0x25, 0x30, 0x30, 0x00, 0x50, 0x01, 0x66}, Answer('P', 0x34, body));
  GprsRecord record;
  const Outcome outcome = Into(record, ReadGprs(channel));
  EXPECT_EQ(outcome.message, kReadConfigOk);
  EXPECT_EQ(record.interval, 15);
  EXPECT_EQ(record.port, 3550);
  EXPECT_EQ(record.ip, (std::array<uint8_t, 4>{192, 0, 2, 7}));
  EXPECT_EQ(record.sn, "0a1b00042");
  EXPECT_EQ(record.domain, "relay.example.net");
  EXPECT_EQ(record.gprs, 1);
  EXPECT_EQ(record.addressMode, 1);

  for (size_t cut : {45u, 55u}) {
    ScriptedChannel bad;
    Bytes reply = Answer('P', 0x34, body);
    reply.resize(cut, 0x66);
    bad.Expect({}, reply);
    EXPECT_EQ(ReadGprs(bad).message(), kReadConfigFailed) << cut;
  }
  ScriptedChannel wrongCount;
  wrongCount.Expect({}, Answer('P', 0x32, body));
  EXPECT_EQ(ReadGprs(wrongCount).message(), kReadConfigFailed);
  // Intervals that no write could have set (7 minutes, 0, and beyond 9999).
  for (uint16_t interval : {7, 0, 10020}) {
    Bytes odd = body;
    odd[2] = static_cast<uint8_t>(interval & 0xFF);
    odd[3] = static_cast<uint8_t>(interval >> 8);
    ScriptedChannel impossible;
    impossible.Expect({}, Answer('P', 0x34, odd));
    const auto read = ReadGprs(impossible);
    EXPECT_EQ(read.message(), kReadConfigFailed) << interval;
    EXPECT_EQ(read.outcome.detail,
              "interval " + std::to_string(interval) + " is no divisor or multiple of 60");
  }
}

InstrumentTable RowsZeroAndTwo() {
  InstrumentTable table;
  table[0] = {true, "95", "0A1B00042", "25.5", "-10.25"};
  table[2] = {true, "1234", "FFFF65535", "-0.29", ""};
  return table;
}

TEST(RelayInstruments, WriteSendsTheFilledRowsWithoutGapsEachWithItsAlarm) {
  Bytes request{0x25, 0x30, 0x30, 0x30, 0x49, 0x6C, 0x02};
  Bytes sns(40, 0x00), ids(20, 0x00), limits(40, 0x00);
  // Row 0: SN 0A1B00042, ID 95, limits 25.5 and -10.25; row 1 empty, so row 2 moves up to
  // position 1, or the relay would hold a zero instrument there and lose row 2's.
  std::copy_n(Bytes{0x0A, 0x1B, 0x00, 0x2A}.begin(), 4, sns.begin());
  std::copy_n(Bytes{0xFF, 0xFF, 0xFF, 0xFF}.begin(), 4, sns.begin() + 4);
  std::copy_n(Bytes{0x00, 0x95}.begin(), 2, ids.begin());
  std::copy_n(Bytes{0x12, 0x34}.begin(), 2, ids.begin() + 2);
  std::copy_n(Bytes{0x09, 0xF6, 0x84, 0x01}.begin(), 4, limits.begin());
  std::copy_n(Bytes{0x80, 0x1D, 0x00, 0x00}.begin(), 4, limits.begin() + 4);  // -0.29: 29
  request.insert(request.end(), sns.begin(), sns.end());
  request.insert(request.end(), ids.begin(), ids.end());
  request.insert(request.end(), limits.begin(), limits.end());
  request.insert(request.end(), {0x00, 0x03, 0x00, 0x00});  // alarm mask: positions 0 and 1
  ScriptedChannel channel;
  channel.Expect(Sealed(request), Bytes{0x0D, 0x0A, 'R', 'e', 'c', ' ', 'C', 'o', 'n', 'f', 'i',
                                        'g', ' ', 'O', 'K', '!'});
  EXPECT_EQ(WriteInstruments(channel, RowsZeroAndTwo()).message, kInstrumentsOk);
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0].size(), 114u);
  EXPECT_TRUE(channel.Problems().empty());
  const InstrumentTable shown = WithoutGaps(RowsZeroAndTwo());
  EXPECT_EQ(shown[1], RowsZeroAndTwo()[2]);
  EXPECT_EQ(shown[2], InstrumentRow{});
}

TEST(RelayInstruments, CellsTheRelayCannotCarryAreRefusedWithTheirRow) {
  const std::pair<InstrumentRow, const char*> cases[] = {
      {{false, "12345", "", "", ""}, "第4行仪器ID无效！"},
      {{false, "-5", "", "", ""}, "第4行仪器ID无效！"},
      {{false, "1", "0A1B0004X", "", ""}, "第4行SN号无效！"},
      {{false, "1", "GGGG00001", "", ""}, "第4行SN号无效！"},
      {{false, "1", "", "327.68", ""}, "第4行上下限无效！"},
      {{false, "1", "", "", "abc"}, "第4行上下限无效！"},
      // A row without an ID is no instrument: what else it holds would be lost unseen.
      {{true, "", "0A1B00042", "", ""}, "第4行仪器ID无效！"},
      {{false, " ", "", "25", ""}, "第4行仪器ID无效！"},
  };
  for (const auto& [row, message] : cases) {
    InstrumentTable table;
    table[3] = row;
    ScriptedChannel channel;
    const Outcome outcome = WriteInstruments(channel, table);
    EXPECT_EQ(outcome.message, message) << row.id << row.sn << row.upper << row.lower;
    EXPECT_EQ(outcome.field, "row");
    EXPECT_TRUE(channel.Sent().empty());
  }
}

TEST(RelayInstruments, ReadFillsRowsBelowTheCountAndChecksEveryAlarmBit) {
  Bytes reply{0x25, 0x30, 0x30, 0x30, 0x49, 0x6C, 0x02};
  Bytes table(105 - 1, 0x00);
  std::copy_n(Bytes{0x0A, 0x1B, 0x00, 0x2A}.begin(), 4, table.begin());
  std::copy_n(Bytes{0x00, 0x95}.begin(), 2, table.begin() + 40);
  std::copy_n(Bytes{0x09, 0xF6, 0x80, 0x00}.begin(), 4, table.begin() + 60);
  // Row 2 carries data, but the count says 2: it stays empty. Alarm bits 0 and 9.
  std::copy_n(Bytes{0x12, 0x34}.begin(), 2, table.begin() + 44);
  table[100] = 0x02;
  table[101] = 0x01;
  reply.insert(reply.end(), table.begin(), table.end());
  reply.push_back(0x66);
  ASSERT_EQ(reply.size(), 112u);
  ScriptedChannel channel;
  channel.Expect({0x25, 0x30, 0x30, 0x00, 0x93, 0x01, 0x66}, reply);
  InstrumentTable read;
  const Outcome outcome = Into(read, ReadInstruments(channel));
  EXPECT_EQ(outcome.message, kReadConfigOk);
  EXPECT_EQ(read[0], (InstrumentRow{true, "0095", "0A1B00042", "25.50", "-0.00"}));
  EXPECT_EQ(read[1], (InstrumentRow{false, "0000", "000000000", "0.00", "0.00"}));
  EXPECT_EQ(read[2], InstrumentRow{});
  EXPECT_TRUE(read[9].alarm);
  EXPECT_EQ(read[9].id, "");

  Bytes notBcd = reply;
  notBcd[6 + 1 + 40 + 1] = 0x9A;  // row 1's ID "009A"
  ScriptedChannel impossible;
  impossible.Expect({}, notBcd);
  const auto badId = ReadInstruments(impossible);
  EXPECT_EQ(badId.message(), kReadConfigFailed);
  EXPECT_EQ(badId.outcome.detail, "BCD byte 9A at offset 48");

  reply[0] = 0x3C;  // this reply starts with '%'
  ScriptedChannel bad;
  bad.Expect({}, reply);
  EXPECT_EQ(ReadInstruments(bad).message(), kReadConfigFailed);
}

TEST(RelayPhones, WriteCarriesElevenBytesPerNumberAndTheLastFilledIndex) {
  struct Case {
    PhoneNumbers phones;
    uint8_t index;
  };
  const Case cases[] = {{{{"", "", ""}}, 0},
                        {{{"", "13800138000", ""}}, 2},
                        {{{"13800138000", "", "13900139000"}}, 3}};
  for (const Case& c : cases) {
    Bytes request{0x25, 0x30, 0x30, 0x30, 0x48, 0x25};
    for (const std::string& number : c.phones.numbers) {
      Bytes digits(number.begin(), number.end());
      digits.resize(11, 0x00);
      request.insert(request.end(), digits.begin(), digits.end());
    }
    request.push_back(c.index);
    ScriptedChannel channel;
    channel.Expect(Sealed(request), {0x3C, 0x30, 0x30, 0x30, 0x09});
    EXPECT_EQ(WritePhones(channel, c.phones).message, kPhonesSetOk) << int{c.index};
    ASSERT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(channel.Sent()[0].size(), 43u);
    EXPECT_TRUE(channel.Problems().empty());
  }
  // All empty: 33 zero bytes, then index 0.
  ScriptedChannel empty;
  empty.Expect({}, {0x3C, 0x30, 0x30, 0x30, 0x09});
  ASSERT_TRUE(WritePhones(empty, {}).ok);
  EXPECT_EQ(Bytes(empty.Sent()[0].begin() + 6, empty.Sent()[0].begin() + 40), Bytes(34, 0x00));

  for (const char* wrong : {"1380013800", "138001380000", "1380013800a"}) {
    ScriptedChannel channel;
    const Outcome outcome = WritePhones(channel, {{"", "", wrong}});
    EXPECT_EQ(outcome.message, kPhoneInvalid) << wrong;
    EXPECT_EQ(outcome.field, "3");
    EXPECT_TRUE(channel.Sent().empty());
  }
}

TEST(RelayPhones, ReadDropsZeroBytes) {
  Bytes body;
  for (const char* number : {"13800138000", "", "110"}) {
    Bytes digits(number, number + std::strlen(number));
    digits.resize(11, 0x00);
    body.insert(body.end(), digits.begin(), digits.end());
  }
  body.push_back(3);
  ScriptedChannel channel;
  channel.Expect({0x25, 0x30, 0x30, 0x00, 0x4A, 0x01, 0x66}, Answer('J', 0x23, body));
  PhoneNumbers phones;
  EXPECT_EQ(Into(phones, ReadPhones(channel)).message, kPhonesReadOk);
  EXPECT_EQ(phones.numbers, (std::array<std::string, 3>{"13800138000", "", "110"}));
}

TEST(RelayPrint, ThirtyByteNameFillsTheFieldAndItsCount) {
  const std::string name(30, 'N');
  Bytes request{0x25, 0x30, 0x30, 0x30, 0x57, 0x22};
  request.insert(request.end(), name.begin(), name.end());
  request.push_back(30);
  ScriptedChannel channel;
  channel.Expect(Sealed(request), {0x3C, 0x30, 0x30, 0x00, 'W', 0x01, 0x66});
  EXPECT_EQ(WritePrintSettings(channel, name).message, kPrintSetOk);
  EXPECT_TRUE(channel.Problems().empty());
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0].size(), 40u);

  ScriptedChannel tooLong;
  EXPECT_EQ(WritePrintSettings(tooLong, name + "N").message, kTextTooLong);
  // Two bytes per character in the instrument's code page.
  EXPECT_EQ(WritePrintSettings(tooLong, "一二三四五六七八九十一二三四五六").message, kTextTooLong);
  EXPECT_TRUE(tooLong.Sent().empty());
}

TEST(RelayPrint, ReadTakesAsManyBytesAsTheCountAndWorksOverTcp) {
  Bytes body(30, 0x00);
  const std::string name = "ACME";
  std::copy(name.begin(), name.end(), body.begin());
  body.push_back(4);
  const Bytes reply = Answer('V', 0x20, body);
  ASSERT_EQ(reply.size(), 38u);
  for (bool tcp : {false, true}) {
    ScriptedChannel channel;
    channel.AcceptLikeTcp(tcp);
    channel.Expect({0x25, 0x30, 0x30, 0x00, 0x56, 0x01, 0x66}, reply);
    PrintSettings read;
    const Outcome outcome = Into(read, ReadPrintSettings(channel));
    EXPECT_TRUE(outcome.ok) << tcp;
    EXPECT_TRUE(outcome.message.empty());
    EXPECT_EQ(read.company, "ACME");
    // The relay's replies carry no check value: TCP asks only for the start byte.
    EXPECT_FALSE(channel.Specs()[0].checkSum);
    EXPECT_EQ(channel.Specs()[0].minimum, 38u);
  }
  // A count beyond the name field stops at the field.
  Bytes wild = reply;
  wild[36] = 200;
  ScriptedChannel channel;
  channel.Expect({}, wild);
  PrintSettings read;
  ASSERT_TRUE(Into(read, ReadPrintSettings(channel)).ok);
  EXPECT_EQ(read.company, "ACME");
  ScriptedChannel wrong;
  Bytes noEnd = reply;
  noEnd.back() = 0x00;
  wrong.Expect({}, noEnd);
  EXPECT_EQ(ReadPrintSettings(wrong).message(), kPrintReadFailed);
}

TEST(RelayPower, FramesFollowTheBaudRate) {
  const Bytes ack{0x0D, 0x0A, 'C', 'o', 'm', 'm', 'a', 'n', 'd', ' ', 'R', 'e', 'c', '!'};
  struct Case {
    Power power;
    const char* baud;
    Bytes request;
    const char* message;
  };
  const Case cases[] = {
      {Power::On, "9600", {0x25, 0x30, 0x30, 0x00, 0xF3, 0x03, 0x66, 0x06, 0x35}, kPowerOnOk},
      {Power::Off, "9600", {0x25, 0x30, 0x30, 0x00, 0xF4, 0x03, 0x66, 0xC7, 0x84}, kPowerOffOk},
      {Power::On, "38400", {0x24, 0xAA, 0xAA, 0xCC, 0x00, 0x11, 0x55}, kPowerOnOk},
      {Power::Off, "38400", {0x24, 0xAA, 0xAA, 0xCC, 0x00, 0x22, 0x66}, kPowerOffOk},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect(c.request, ack);
    EXPECT_EQ(SwitchPower(channel, c.power, c.baud).message, c.message) << c.baud;
    EXPECT_TRUE(channel.Problems().empty()) << c.baud;
  }
  ScriptedChannel other;
  EXPECT_EQ(SwitchPower(other, Power::On, "115200").message, kPortOpenFailed);
  EXPECT_TRUE(other.Sent().empty());
  ScriptedChannel late;
  late.Expect({}, Bytes(ack.begin(), ack.end() - 1));
  EXPECT_EQ(SwitchPower(late, Power::Off, "9600").message, kPowerOffFailed);
}

TEST(RelayClock, SetSendsBcdAndBothClockCommandsWaitAFixedTime) {
  ScriptedChannel channel;
  channel.Expect({0x25, 0x30, 0x30, 0x00, 0x52, 0x07, 0x24, 0x03, 0x15, 0x10, 0x20, 0x30, 0x66},
                 {0x3C, 0x30, 0x30, 0x00, 'R', 0x01, 0x66});
  EXPECT_EQ(SetTime(channel, {2024, 3, 15, 10, 20, 30}).message, kTimeOk);
  channel.Expect({0x25, 0x30, 0x30, 0x00, 0x53, 0x01, 0x66},
                 Answer('S', 0x07, {0x24, 0x03, 0x15, 0x10, 0x20, 0x31}));
  ClockText clock;
  EXPECT_TRUE(Into(clock, ReadTime(channel)).ok);
  EXPECT_EQ(clock.text, "2024-03-15 10:20:31");
  for (const auto& spec : channel.Specs()) EXPECT_EQ(spec.serialDelayMs, 600);
  EXPECT_TRUE(channel.Problems().empty());

  EXPECT_EQ(SetTime(channel, {2100, 1, 1, 0, 0, 0}).message, kTimeInvalid);
  // Not a calendar date: it would travel as BCD 24 02 30.
  EXPECT_EQ(SetTime(channel, {2024, 2, 30, 7, 8, 9}).message, kTimeInvalid);
  EXPECT_EQ(SetTime(channel, {2023, 2, 29, 7, 8, 9}).message, kTimeInvalid);
  EXPECT_EQ(channel.Sent().size(), 2u);
}

TEST(RelayClear, SendsTheClearingCodeAndTakesAnyCommandByte) {
  ScriptedChannel channel;
  channel.Expect({0x25, 0x30, 0x30, 0x00, 0x54, 0x07, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x66},
                 {0x3C, 0x30, 0x30, 0x00, 0x00, 0x01, 0x66});
  EXPECT_EQ(ClearData(channel).message, kClearOk);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(RelaySerialOnly, OverTcpNothingIsSentAndNothingIsShown) {
  ScriptedChannel channel;
  channel.AcceptLikeTcp();
  GprsSettings settings;
  settings.sn = "0A1B00042";
  const std::vector<Outcome> outcomes = {
      ToOutcome(ReadGprs(channel)),          WriteGprs(channel, settings),
      SetTime(channel, {}),                  ToOutcome(ReadTime(channel)),
      ClearData(channel),                    ToOutcome(ReadInstruments(channel)),
      WriteInstruments(channel, {}),         ToOutcome(ReadPhones(channel)),
      WritePhones(channel, {}),              SwitchPower(channel, Power::On, "9600"),
  };
  for (const Outcome& outcome : outcomes) {
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.message.empty()) << outcome.message;
  }
  EXPECT_TRUE(channel.Sent().empty());
}

}  // namespace
}  // namespace pages::relay
