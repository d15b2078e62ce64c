#pragma once
// Fixtures for tests against the instrument simulator: commands over the real serial or TCP
// channel, and the tool-cli binary on the simulator's pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"

namespace pages::testing {

// Parameterised by the channel: false serial over a pseudo-terminal, true TCP to 127.0.0.1.
class SimChannelTest : public ::testing::TestWithParam<bool> {
 public:
  // Names the instantiated cases after their channel.
  static std::string ChannelName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Tcp" : "Serial";
  }

 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(GetParam() ? sim_.StartTcp(&error) : sim_.StartSerial(&error)) << error;
  }
  // The simulated instrument's state of one family, read or changed under its lock.
  template <class State, class F>
  auto Device(F&& f) {
    return sim_.Device<State>(std::forward<F>(f));
  }
  SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

// tool-cli runs of one page against the simulator; the serial port belongs to tool-cli.
class ToolCliTest : public ::testing::Test {
 protected:
  explicit ToolCliTest(std::string page) : page_(std::move(page)) {}
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.serial.ClosePort();
  }
  // tool-cli <page> <words> --port <pty> --delay 60
  ToolRun Run(std::vector<std::string> words) {
    words.insert(words.begin(), page_);
    words.insert(words.end(),
                 {"--port", sim_.SerialPath(), "--delay", std::to_string(TestDelayMs(60))});
    return RunToolCli(words);
  }

  SimLink sim_;

 private:
  std::string page_;
};

}  // namespace pages::testing
