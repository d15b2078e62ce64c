// Sample period and screen-off commands over the real serial channel against the simulator.
#include <gtest/gtest.h>

#include "pages/property2/property2_commands.h"
#include "pages/testing/sim_link.h"
#include "sim/families/property2.h"

namespace pages::property2 {
namespace {

class Property2SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.address = 7;  // these commands always go to address 0
  }
  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_F(Property2SimTest, EveryChannelKeepsItsOwnPeriod) {
  ASSERT_TRUE(WriteSamplePeriod(channel_, 1, 600).ok);
  ASSERT_TRUE(WriteSamplePeriod(channel_, 32, 4).ok);
  int index = -1;
  ASSERT_TRUE(ReadSamplePeriod(channel_, 1, index).ok);
  EXPECT_EQ(SamplePeriods()[static_cast<size_t>(index)].text, "10分");
  ASSERT_TRUE(ReadSamplePeriod(channel_, 32, index).ok);
  EXPECT_EQ(SamplePeriods()[static_cast<size_t>(index)].text, "4秒");
  EXPECT_EQ(sim_.Device<sim::Property2State>([](auto& s) { return s.periods[31]; }), 4);
}

TEST_F(Property2SimTest, ScreenOffNeverAndAnOddValue) {
  ASSERT_TRUE(WriteScreenOff(channel_, 0).ok);
  int index = 0;
  ASSERT_TRUE(ReadScreenOff(channel_, index).ok);
  EXPECT_EQ(ScreenOffTimes()[static_cast<size_t>(index)].text, "永不");
  sim_.Device<sim::Property2State>([](auto& s) { s.screenOff = 45; });
  EXPECT_EQ(ReadScreenOff(channel_, index).message, kValueNotInList);
  EXPECT_EQ(ScreenOffTimes()[static_cast<size_t>(index)].text, "永不");
}

TEST_F(Property2SimTest, SilenceIsAFailure) {
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  int index = 0;
  EXPECT_EQ(ReadSamplePeriod(channel_, 2, index).message, kReadFailed);
  EXPECT_EQ(WriteScreenOff(channel_, 15).message, kWriteFailed);
}

}  // namespace
}  // namespace pages::property2
