// The Bluetooth logger's commands over a pseudo-terminal against the simulated adapter and the
// logger behind it: the adapter is switched to the logger first, the logger answers only while
// the adapter holds it, and a write changes only what it should.
#include <gtest/gtest.h>

#include "pages/btlogger/btlogger_commands.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/kit/profile.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "sim/families/bluetooth_logger.h"

namespace pages::btlogger {
namespace {

constexpr char kLoggerMac[] = "00:1A:7D:DA:71:13";
const sim::BluetoothAdapterState::Mac kLoggerBytes{0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
const sim::BluetoothAdapterState::Mac kOtherBytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};

class BtLoggerSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TOOL_SKIP_WITHOUT_PTY();
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.mode = devlink::AddressingMode::Bluetooth;
    sim_.link.address = 0;
    sim_.link.macText = kLoggerMac;
    sim_.link.bluetoothConnected = true;
  }
  void AdapterHolds(const sim::BluetoothAdapterState::Mac& mac) {
    sim_.Device<sim::BluetoothAdapterState>(
        [&](sim::BluetoothAdapterState& s) { s.connected = mac; });
  }
  sim::BluetoothLoggerState Logger() {
    return sim_.Device<sim::BluetoothLoggerState>([](sim::BluetoothLoggerState& s) { return s; });
  }
  sim::BluetoothAdapterState Adapter() {
    return sim_.Device<sim::BluetoothAdapterState>([](sim::BluetoothAdapterState& s) { return s; });
  }

  pages::testing::SimLink sim_;
};

TEST_F(BtLoggerSimTest, WithoutTheMainWindowsConnectionNothingIsSent) {
  sim_.link.bluetoothConnected = false;
  EXPECT_EQ(ConnectBluetoothDevice(sim_.link).message, "请连接蓝牙设备");
  EXPECT_EQ(sim_.Requests(), 0u);
}

TEST_F(BtLoggerSimTest, TheLoggerAnswersOnlyWhileTheAdapterHoldsIt) {
  BluetoothChannel channel(sim_.link);
  EXPECT_EQ(ReadConfig(channel).message(), "读取通道失败");
  EXPECT_EQ(ClearHistory(channel).message, "清除历史数据失败");
  AdapterHolds(kOtherBytes);
  EXPECT_EQ(ReadLoggerSn(channel).message(), "数据读取失败");
  EXPECT_EQ(Logger().clears, 0);

  // Held already: one connection query and nothing else.
  AdapterHolds(kLoggerBytes);
  sim_.simulator.ClearLog();
  EXPECT_TRUE(ConnectBluetoothDevice(sim_.link).ok);
  ASSERT_EQ(sim_.Requests(), 1u);
  EXPECT_EQ(sim_.simulator.RequestLog()[0][1], 0x19);
  const Result<LoggerConfig> read = ReadConfig(channel);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(read.value.Configured(), 2);
  EXPECT_EQ(read.value.Maximum(), 8);
}

// Another logger held: it is dropped and ours connected (the adapter's settling time makes
// this one take about four seconds).
TEST_F(BtLoggerSimTest, AnotherLoggerHeldIsDroppedForOurs) {
  AdapterHolds(kOtherBytes);
  const Outcome connected = ConnectBluetoothDevice(sim_.link);
  ASSERT_TRUE(connected.ok) << connected.message;
  const auto log = sim_.simulator.RequestLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0][1], 0x19);
  EXPECT_EQ(
      sim::Bytes(log[1].begin(), log[1].begin() + 13),
      (sim::Bytes{0x01, 0x18, 0x00, 0x01, 0x00, 0x03, 0x06, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(
      sim::Bytes(log[2].begin(), log[2].begin() + 13),
      (sim::Bytes{0x01, 0x18, 0x00, 0x00, 0x00, 0x03, 0x06, 0x13, 0x71, 0xDA, 0x7D, 0x1A, 0x00}));
  EXPECT_EQ(Adapter().connected, kLoggerBytes);
  EXPECT_EQ(Adapter().disconnects, 1);
  BluetoothChannel channel(sim_.link);
  EXPECT_TRUE(ReadConfig(channel).ok());
}

// The page's frames go to the adapter on the serial port even while the link is set to TCP.
TEST_F(BtLoggerSimTest, ReadWriteClearSnAndClockRoundTrip) {
  AdapterHolds(kLoggerBytes);
  sim_.link.tcpMode = true;
  sim_.link.ip = "127.0.0.1";
  sim_.link.tcpPort = 1;  // nothing listens there
  const sim::BluetoothLoggerState before = Logger();
  BluetoothChannel channel(sim_.link);

  const Result<LoggerConfig> read = ReadConfig(channel);
  ASSERT_TRUE(read.ok()) << read.message();
  ASSERT_EQ(read.value.records.size(), 2u);
  const std::vector<std::optional<uint8_t>> rows{kHumidityType, kHumidityType, kTemperatureType};
  const Outcome written = WriteConfig(channel, read.value, rows);
  ASSERT_TRUE(written.ok) << written.message;
  const sim::BluetoothLoggerState after = Logger();
  auto header = before.header;
  header[45] = 3;
  EXPECT_EQ(after.header, header);
  auto record = before.records[0];
  record[1] = kHumidityType;
  EXPECT_EQ(after.records[0], record);
  EXPECT_EQ(after.records[1], before.records[1]);  // humidity already
  std::array<uint8_t, 32> fresh{};
  fresh[1] = kTemperatureType;
  EXPECT_EQ(after.records[2], fresh);
  EXPECT_EQ(after.records[3], before.records[3]);

  const Outcome cleared = ClearHistory(channel);
  EXPECT_EQ(cleared.message, "历史数据清除成功");
  EXPECT_EQ(Logger().historyRecords, 0);

  const WidgetReply sn = WriteLoggerSn(channel, 2027, 3, 42);
  ASSERT_TRUE(sn.ok()) << sn.message();
  auto snBlock = before.sn;
  snBlock[0] = 0x00;
  snBlock[1] = 42;
  snBlock[2] = 0x7E;  // 2027 × 16 + 3 = 0x7EB3
  snBlock[3] = 0xB3;
  EXPECT_EQ(Logger().sn, snBlock);
  EXPECT_EQ(ReadLoggerSn(channel).value.text, "7EB300042");

  ASSERT_TRUE(SetLoggerClock(channel, {2031, 2, 28, 23, 59, 58, 5}).ok());
  EXPECT_EQ(Logger().clock,
            (std::array<uint8_t, 8>{0x59, 0x58, 0x05, 0x23, 0x02, 0x28, 0x20, 0x31}));
  EXPECT_EQ(ReadLoggerClock(channel).value.text, "2031-02-28 23:59:58");
}

// The channel types go to another logger through its adapter; the SN names the logger, the MAC
// is given to snapshot and apply and is no value of the profile.
TEST(BtLoggerProfileTest, ChannelTypesGoToAnotherLogger) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  trip.given = {{"mac", kLoggerMac}};
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    const Outcome wrote = RunVerb(*Commands().Find("write-channels"), a,
                                  {{"mac", kLoggerMac}, {"types", "humidity,humidity,temperature"}});
    ASSERT_TRUE(wrote.ok) << wrote.message;
  });
  ASSERT_EQ(profile.groups.size(), 1u);
  EXPECT_EQ(profile.groups[0].values, (Values{{"types", std::string("humidity,humidity,temperature")}}));
  EXPECT_EQ(profile.instrument.front().first, "sn");  // the SN read, named after its verb
  const auto b = trip.B().Device<sim::BluetoothLoggerState>([](sim::BluetoothLoggerState& s) { return s; });
  EXPECT_EQ(b.header[45], 3);
  EXPECT_EQ(b.records[0][1], kHumidityType);
  EXPECT_EQ(b.records[2][1], kTemperatureType);
}

}  // namespace
}  // namespace pages::btlogger
