// The digital sensor's commands against a scripted channel: every request byte for byte, the
// reply checks each command makes (and those it leaves out), input refused before sending, the
// baud-rate search over a scripted serial line and the proof of a baud-rate change.
#include "pages/sensor/sensor_commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/testing/scripted_channel.h"

namespace pages::sensor {
namespace {

using devlink::Bytes;
using devlink::ExchangeStatus;
using devlink::testing::ScriptedChannel;

Bytes Crc(Bytes frame) {
  devlink::AppendCrc16(frame);
  return frame;
}

// A serial line that records what the commands do to it; the reopen at `failAt` (1-based) fails.
class ScriptedLine : public SerialLine {
 public:
  bool Carries() const override { return carries; }
  std::string BaudText() const override { return baud; }
  void SetBaudText(const std::string& text) override { baud = text; }
  bool Reopen(std::string* error) override {
    reopenedAt.push_back(baud);
    if (static_cast<int>(reopenedAt.size()) == failAt) {
      *error = kPortReopenFailed;
      return false;
    }
    return true;
  }
  void PurgeAll() override { ++purges; }

  bool carries = true;
  std::string baud = "115200";
  std::vector<std::string> reopenedAt;
  int failAt = 0;
  int purges = 0;
};

const Bytes kAddressRead{0xFA, 0x03, 0x00, 0x66, 0x00, 0x01, 0x71, 0x9E};

// Each command's request, byte for byte, and what it makes of a good reply.
TEST(SensorCommands, RequestsAndGoodReplies) {
  ScriptedChannel channel;
  channel.Expect(kAddressRead, Crc({0x05, 0x03, 0x02, 0x00, 0x05}));
  const Result<int> address = ReadAddress(channel, nullptr);
  ASSERT_TRUE(address.ok()) << address.message();
  EXPECT_EQ(address.value, 5);

  channel.Expect({0x01, 0x03, 0x00, 0x67, 0x00, 0x01, 0x35, 0xD5}, Crc({0x01, 0x03, 0x02, 0x00, 0x02}));
  const Result<int> index = ReadBaudIndex(channel, 1);
  ASSERT_TRUE(index.ok());
  EXPECT_EQ(index.value, 2);

  const Bytes addressWrite{0x01, 0x06, 0x00, 0x66, 0x00, 0x05, 0xA9, 0xD6};
  channel.Expect(addressWrite, addressWrite);
  const Result<int> written = WriteAddress(channel, 1, 5);
  ASSERT_TRUE(written.ok());
  EXPECT_EQ(written.value, 5);

  // The baud write, then the address read at the unchanged settings that nothing answers.
  channel.Expect({0x01, 0x06, 0x00, 0x67, 0x00, 0x02, 0xB9, 0xD4}, {});
  channel.Expect(kAddressRead, {});
  const Outcome baud = WriteBaud(channel, 1, 1);
  EXPECT_TRUE(baud.ok);
  EXPECT_EQ(baud.message, "");

  channel.Expect({0x01, 0x03, 0x40, 0x10, 0x00, 0x01, 0x90, 0x0F},
                 Crc({0x01, 0x03, 0x02, 0x37, 0x39}));
  const Result<ChannelTypeRows> types = ReadChannelTypes(channel, 1);
  ASSERT_TRUE(types.ok());
  EXPECT_EQ(types.value.names,
            (std::vector<std::string>{"数字式传感器-温度", "数字式传感器-宽温度"}));

  channel.Expect({0x01, 0x03, 0x40, 0x20, 0x00, 0x04, 0x50, 0x03},
                 Crc({0x01, 0x03, 0x08, '1', '.', '2', '3', '2', '.', '0', '5'}));
  const Result<Versions> versions = ReadVersions(channel, 1, nullptr);
  ASSERT_TRUE(versions.ok());
  EXPECT_EQ(versions.value.hardware, "1.23");
  EXPECT_EQ(versions.value.software, "2.05");

  channel.Expect({0x01, 0x03, 0x40, 0x00, 0x00, 0x04, 0x51, 0xC9},
                 Crc({0x01, 0x03, 0x08, 0x7E, 0xAC, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
  const WidgetReply sn = ReadSn(channel, 1);
  ASSERT_TRUE(sn.ok()) << sn.message();
  EXPECT_EQ(sn.value.text, "7EAC00001");

  channel.Expect({0x01, 0x10, 0x40, 0x00, 0x00, 0x04, 0x08, 0x7E, 0xAC, 0x00, 0x01, 0x00, 0x00,
                  0x00, 0x00, 0x9F, 0xD8},
                 Crc({0x01, 0x10, 0x40, 0x00, 0x00, 0x04}));
  const WidgetReply snWrite = WriteSn(channel, 1, 2026, 12, 1);
  EXPECT_TRUE(snWrite.ok());
  EXPECT_EQ(snWrite.message(), kWriteOk);

  // Only the low byte of an address above 255 goes on the wire.
  channel.Expect(Crc({0x2C, 0x03, 0x40, 0x10, 0x00, 0x01}), Crc({0x2C, 0x03, 0x02, 0x37, 0x00}));
  const Result<ChannelTypeRows> one = ReadChannelTypes(channel, 300);
  ASSERT_TRUE(one.ok());
  EXPECT_EQ(one.value.names, std::vector<std::string>{"数字式传感器-温度"});
  EXPECT_TRUE(channel.Problems().empty());
}

struct ReplyCase {
  const char* name;
  std::function<Outcome(ScriptedChannel&)> run;
  Bytes reply;
  bool ok;
  const char* message;
};

Outcome Address(ScriptedChannel& c) { return ReadAddress(c, nullptr).outcome; }
Outcome Baud(ScriptedChannel& c) { return ReadBaudIndex(c, 1).outcome; }
Outcome Types(ScriptedChannel& c) { return ToOutcome(ReadChannelTypes(c, 1)); }
Outcome Version(ScriptedChannel& c) { return ToOutcome(ReadVersions(c, 1, nullptr)); }
Outcome SnRead(ScriptedChannel& c) { return ToOutcome(ReadSn(c, 1)); }
Outcome SnWrite(ScriptedChannel& c) { return ToOutcome(WriteSn(c, 1, 2026, 12, 1)); }
Outcome NewAddress(ScriptedChannel& c) { return WriteAddress(c, 1, 7).outcome; }

Bytes BadCrc(Bytes frame) {
  frame = Crc(frame);
  frame.back() ^= 0x01;
  return frame;
}

// Which reply checks each command makes: the ones listed fail it, the ones it leaves out do not.
TEST(SensorCommands, ReplyChecksOfEachCommand) {
  const Bytes versions{0x01, 0x03, 0x08, '1', '.', '2', '3', '2', '.', '0', '5'};
  const Bytes sn{0x01, 0x03, 0x08, 0x7E, 0xAC, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  const std::vector<ReplyCase> cases = {
      {"address short", Address, Crc({0x01, 0x03, 0x02, 0x00}), false, kAddressReadFailed},
      {"address byte count", Address, Crc({0x01, 0x03, 0x03, 0x00, 0x01}), false,
       kAddressReadFailed},
      {"address crc", Address, BadCrc({0x01, 0x03, 0x02, 0x00, 0x01}), false, kAddressReadFailed},
      {"address nothing", Address, {}, false, kAddressReadFailed},
      {"baud index 0", Baud, Crc({0x01, 0x03, 0x02, 0x00, 0x00}), false, kBaudReadFailed},
      {"baud index 4", Baud, Crc({0x01, 0x03, 0x02, 0x00, 0x04}), false, kBaudReadFailed},
      {"baud function", Baud, Crc({0x01, 0x04, 0x02, 0x00, 0x03}), false, kBaudReadFailed},
      {"address write short", NewAddress, Crc({0x01, 0x06, 0x00, 0x66, 0x07}), false,
       kAddressSetFailed},
      {"address write exception", NewAddress, Crc({0x01, 0x86, 0x03}), false, kAddressSetFailed},
      {"types byte count unchecked", Types, Crc({0x01, 0x03, 0x00, 0x37, 0x38}), true, ""},
      {"types function", Types, Crc({0x01, 0x04, 0x02, 0x37, 0x38}), false,
       kChannelTypeReadFailed},
      {"types crc", Types, BadCrc({0x01, 0x03, 0x02, 0x37, 0x38}), false, kChannelTypeReadFailed},
      {"versions function unchecked", Version,
       Crc({0x01, 0x04, 0x00, '1', '.', '2', '3', '2', '.', '0', '5'}), true, ""},
      {"versions crc", Version, BadCrc(versions), false, kReadFailed},
      {"versions short", Version, Bytes(versions.begin(), versions.end() - 1), false, kReadFailed},
      {"sn crc", SnRead, BadCrc(sn), false, kCheckFailed},
      {"sn byte count", SnRead, Crc({0x01, 0x03, 0x06, 0x7E, 0xAC, 0x00, 0x01, 0, 0, 0, 0}), false,
       kReadFailed},
      {"sn function", SnRead, Crc({0x01, 0x04, 0x08, 0x7E, 0xAC, 0x00, 0x01, 0, 0, 0, 0}), false,
       kReadFailed},
      {"sn length", SnRead, Crc({0x01, 0x03, 0x08, 0x7E, 0xAC, 0x00, 0x01}), false, kReadFailed},
      {"sn write crc", SnWrite, BadCrc({0x01, 0x10, 0x40, 0x00, 0x00, 0x04}), false, kCheckFailed},
      {"sn write function", SnWrite, Crc({0x01, 0x06, 0x40, 0x00, 0x00, 0x04}), false,
       kWriteFailed},
      {"sn write length", SnWrite, Crc({0x01, 0x10, 0x40, 0x00, 0x00}), false, kWriteFailed},
  };
  for (const ReplyCase& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, c.reply);
    const Outcome outcome = c.run(channel);
    EXPECT_EQ(outcome.ok, c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(outcome.message, c.message) << c.name;
    }
  }
}

TEST(SensorCommands, ChannelCodesOutsideTheTableAddNoRow) {
  const std::vector<std::pair<Bytes, std::vector<std::string>>> cases = {
      {{0x37, 0x00}, {"数字式传感器-温度"}},
      {{0x00, 0x39}, {"数字式传感器-宽温度"}},
      {{0x38, 0x38}, {"数字式传感器-湿度", "数字式传感器-湿度"}},
      {{0x36, 0x3A}, {}},
  };
  for (const auto& [codes, names] : cases) {
    ScriptedChannel channel;
    channel.Expect({}, Crc({0x01, 0x03, 0x02, codes[0], codes[1]}));
    const Result<ChannelTypeRows> rows = ReadChannelTypes(channel, 1);
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(rows.value.names, names);
  }
}

TEST(SensorCommands, RefusedInputSendsNothing) {
  ScriptedChannel channel;
  for (int64_t address : {int64_t{0}, int64_t{70000}, int64_t{-1}}) {
    const Result<int> r = WriteAddress(channel, 1, address);
    EXPECT_TRUE(r.outcome.Refusal());
    EXPECT_EQ(r.message(), kAddressRange);
    EXPECT_EQ(r.outcome.field, kFieldNewAddress);
  }
  for (std::optional<int> selection : {std::optional<int>{}, std::optional<int>{3}}) {
    const Outcome o = WriteBaud(channel, 1, selection);
    EXPECT_TRUE(o.Refusal());
    EXPECT_EQ(o.message, kSelectBaud);
  }
  EXPECT_EQ(WriteSn(channel, 1, 2026, 12, 65536).message(), kSerialOutOfRange);
  EXPECT_TRUE(channel.Sent().empty());
  // The bounds themselves are taken.
  channel.Expect(Crc({0x01, 0x06, 0x00, 0x66, 0xFF, 0xFF}), Crc({0x01, 0x06, 0x00, 0x66, 0xFF, 0xFF}));
  EXPECT_TRUE(WriteAddress(channel, 1, 65535).ok());
  EXPECT_TRUE(channel.Problems().empty());
}

// What the address read after a baud-rate write proves.
TEST(SensorCommands, BaudWriteIsProvedByTheSensorFallingSilent) {
  const Bytes write = Crc({0x01, 0x06, 0x00, 0x67, 0x00, 0x01});
  struct Case {
    const char* name;
    Bytes writeReply;
    Bytes probeReply;
    bool ok;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"silent after the write", write, {}, true, ""},
      // The write's own reply is not examined on the serial channel.
      {"garbled write reply", {0x12, 0x34}, {}, true, ""},
      {"still answers at the old rate", write, Crc({0x01, 0x03, 0x02, 0x00, 0x01}), false,
       kBaudSetFailed},
      {"malformed answer", write, {0x01, 0x03, 0x02}, false, kAddressReadFailed},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect(write, c.writeReply);
    channel.Expect(kAddressRead, c.probeReply);
    const Outcome o = WriteBaud(channel, 1, 0);
    EXPECT_EQ(o.ok, c.ok) << c.name;
    EXPECT_EQ(o.message, c.message) << c.name;
    EXPECT_TRUE(channel.Problems().empty()) << c.name;
  }

  // TCP: the write must pass the channel's exchange; a probe nobody answers is the proof.
  ScriptedChannel tcp;
  tcp.AcceptLikeTcp();
  tcp.Expect(write, {0x12, 0x34});
  EXPECT_EQ(WriteBaud(tcp, 1, 0).message, kBaudSetFailed);
  EXPECT_EQ(tcp.Sent().size(), 1u);
  tcp.Expect(write, write);
  tcp.Expect(kAddressRead, {});
  EXPECT_TRUE(WriteBaud(tcp, 1, 0).ok);
  tcp.Expect(write, write);
  tcp.Expect(kAddressRead, Crc({0x01, 0x03, 0x02, 0x00, 0x01}));
  EXPECT_EQ(WriteBaud(tcp, 1, 0).message, kBaudSetFailed);
  EXPECT_TRUE(tcp.Problems().empty());

  ScriptedChannel closed;
  closed.Expect(write, {}, ExchangeStatus::PortNotOpen);
  EXPECT_EQ(WriteBaud(closed, 1, 2).message, kPortOpenFailed);
}

// The address read retried at each rate of the list, the port reopened before each.
TEST(SensorCommands, BaudSearchReopensAtEachRateUntilTheSensorAnswers) {
  ScriptedLine line;
  ScriptedChannel channel;
  channel.Expect(kAddressRead, {});                                   // at 115200
  channel.Expect(kAddressRead, {});                                   // at 2400
  channel.Expect(kAddressRead, Crc({0x07, 0x03, 0x02, 0x00, 0x07}));  // at 4800
  channel.Expect(Crc({0x07, 0x03, 0x00, 0x67, 0x00, 0x01}), Crc({0x07, 0x03, 0x02, 0x00, 0x02}));
  const Result<SensorFound> found = FindSensor(channel, &line);
  ASSERT_TRUE(found.ok()) << found.message();
  EXPECT_EQ(found.value.address, 7);
  EXPECT_EQ(found.value.baudIndex, 2);
  EXPECT_EQ(found.value.baudText, "4800");
  EXPECT_EQ(line.reopenedAt, (std::vector<std::string>{"2400", "4800"}));
  EXPECT_EQ(line.baud, "4800");
  EXPECT_TRUE(channel.Problems().empty());

  // Not found at any rate: the last failure, the port left at the last rate.
  ScriptedLine nowhere;
  ScriptedChannel silent;
  for (int i = 0; i < 4; ++i) silent.Expect(kAddressRead, {});
  EXPECT_EQ(FindSensor(silent, &nowhere).message(), kAddressReadFailed);
  EXPECT_EQ(nowhere.reopenedAt, (std::vector<std::string>{"2400", "4800", "9600"}));
  EXPECT_TRUE(silent.Problems().empty());

  // A port that cannot be reopened ends the search.
  ScriptedLine broken;
  broken.failAt = 2;
  ScriptedChannel once;
  once.Expect(kAddressRead, {});
  once.Expect(kAddressRead, {});
  EXPECT_EQ(FindSensor(once, &broken).message(), kPortReopenFailed);
  EXPECT_EQ(broken.reopenedAt.size(), 2u);
  EXPECT_TRUE(once.Problems().empty());

  // Over TCP the local port is left alone.
  ScriptedLine tcpLine;
  tcpLine.carries = false;
  ScriptedChannel tcp;
  tcp.Expect(kAddressRead, {}, ExchangeStatus::NoReply);
  EXPECT_EQ(FindSensor(tcp, &tcpLine).message(), kAddressReadFailed);
  EXPECT_TRUE(tcpLine.reopenedAt.empty());

  // A failed baud read still reports the address it found.
  ScriptedChannel noBaud;
  noBaud.Expect(kAddressRead, Crc({0x07, 0x03, 0x02, 0x00, 0x07}));
  noBaud.Expect({}, {});
  const Outcome o = ToOutcome(FindSensor(noBaud, nullptr));
  EXPECT_EQ(o.message, kBaudReadFailed);
  ASSERT_EQ(o.values.size(), 1u);
  EXPECT_EQ(o.values[0].first, "address");
  EXPECT_EQ(std::get<int64_t>(o.values[0].second), 7);
}

TEST(SensorCommands, VersionsPurgeTheSerialLineBeforeAndAfter) {
  const Bytes reply = Crc({0x01, 0x03, 0x08, '1', '.', '2', '3', '2', '.', '0', '5'});
  ScriptedLine line;
  ScriptedChannel channel;
  channel.Expect({}, reply);
  EXPECT_TRUE(ReadVersions(channel, 1, &line).ok());
  EXPECT_EQ(line.purges, 2);
  line.carries = false;
  channel.Expect({}, {});
  EXPECT_EQ(ReadVersions(channel, 1, &line).message(), kReadFailed);
  EXPECT_EQ(line.purges, 2);
}

}  // namespace
}  // namespace pages::sensor
