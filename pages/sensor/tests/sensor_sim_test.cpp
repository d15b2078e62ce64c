// The sensor commands over TCP against the simulated sensor behind a network module at 9600:
// replies pass the channel by their CRC.
#include <gtest/gtest.h>

#include "pages/sensor/sensor_commands.h"
#include "pages/testing/sim_link.h"

namespace pages::sensor {
namespace {

class SensorSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TOOL_SKIP_WITHOUT_PTY();
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.portName = sim_.SerialPath();
  }

  pages::testing::SimLink sim_;
};

TEST_F(SensorSimTest, SnWrittenAndReadBackOverTcpThroughTheModulesCheck) {
  std::string error;
  ASSERT_TRUE(sim_.StartTcp(&error)) << error;
  devlink::LinkChannel channel(sim_.link);
  const WidgetReply written = WriteSn(channel, 1, 2026, 16, 42);
  ASSERT_TRUE(written.ok()) << written.message();
  const WidgetReply read = ReadSn(channel, 1);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(read.value.text, "7EB000042");
  const Result<ChannelTypeRows> types = ReadChannelTypes(channel, 1);
  ASSERT_TRUE(types.ok()) << types.message();
  EXPECT_EQ(types.value.names.size(), 2u);

  // The baud write: the module's side stays at 9600, so the sensor falls silent over TCP.
  sim_.link.delayMs = 10;
  const Outcome baud = WriteBaud(channel, 1, 1);
  EXPECT_TRUE(baud.ok) << baud.message;
  // No baud search over TCP: the serial port is not touched.
  sim_.link.serial.ClosePort();
  LinkSerialLine line(sim_.link);
  EXPECT_EQ(ReadAddress(channel, &line).message(), kAddressReadFailed);
  EXPECT_FALSE(sim_.link.serial.IsOpen());
}

}  // namespace
}  // namespace pages::sensor
