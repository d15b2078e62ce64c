// The serial line behind a link channel: reopening the port named in the link at the link's
// rate, and what a failed reopen leaves behind.
#include "pages/kit/serial_line.h"

#include <gtest/gtest.h>

#include "link/testing/scripted_channel.h"
#include "pages/testing/sim_link.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"

namespace pages {
namespace {

TEST(SerialLine, ReopensTheNamedPortAtTheLinksRateAndClosesItOnFailure) {
  TOOL_SKIP_WITHOUT_PTY();
  sim::Simulator simulator;
  sim::PtyServer pty(simulator);
  std::string error;
  ASSERT_TRUE(pty.Start(&error)) << error;

  devlink::DeviceLink link;
  devlink::LinkChannel channel(link);
  std::unique_ptr<SerialLine> line = LineBehind(channel);
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->Carries());

  // No port was open: the one named in the link is opened.
  link.portName = pty.SlavePath();
  line->SetBaudText("4800");
  EXPECT_EQ(link.baudText, "4800");
  EXPECT_TRUE(line->Reopen(&error)) << error;
  EXPECT_TRUE(link.serial.IsOpen());
  EXPECT_EQ(link.serial.Path(), pty.SlavePath());

  // A rate the port cannot take: the port is closed and the reason given.
  line->SetBaudText("fast");
  EXPECT_FALSE(line->Reopen(&error));
  EXPECT_EQ(error.rfind("串口参数设置失败：", 0), 0u) << error;
  EXPECT_FALSE(link.serial.IsOpen());

  // A port that cannot be opened.
  line->SetBaudText("9600");
  link.portName = "/nonexistent/ttySENSOR";
  EXPECT_FALSE(line->Reopen(&error));
  EXPECT_EQ(error, kPortReopenFailed);
  EXPECT_FALSE(link.serial.IsOpen());

  link.tcpMode = true;
  EXPECT_FALSE(line->Carries());

  devlink::testing::ScriptedChannel scripted;
  EXPECT_EQ(LineBehind(scripted), nullptr);
}

}  // namespace
}  // namespace pages
