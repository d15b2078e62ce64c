#pragma once
// Fixtures for tests against the instrument simulator: commands over the real serial or TCP
// channel, and the tool-cli binary on the simulator's pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pages/testing/sim_link.h"
#ifndef _WIN32
#include "pages/testing/tool_cli.h"
#endif

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
    if (!GetParam()) TOOL_SKIP_WITHOUT_PTY();
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

#ifndef _WIN32
// tool-cli runs against the simulator, on its pseudo-terminal and on its loopback TCP port; the
// serial port belongs to tool-cli (the fixture's own link leaves it closed). POSIX only: the
// tests that run tool-cli (*_cli_test.cpp) are left out of the Windows build.
class ToolCliTest : public ::testing::Test {
 protected:
  // `page` is the first word of every Run and RunTcp (none when empty); `extra` words close
  // every one of them (for example "--fast").
  explicit ToolCliTest(std::string page = {}, std::vector<std::string> extra = {})
      : page_(std::move(page)), extra_(std::move(extra)) {}
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    ASSERT_TRUE(sim_.StartTcp(&error)) << error;
    sim_.link.serial.ClosePort();
  }
  // tool-cli <page> <words> --port <pty> --delay <delayMs, stretched> <extra>
  ToolRun Run(std::vector<std::string> words, int delayMs = 60) {
    return RunOver({"--port", Port()}, std::move(words), delayMs);
  }
  // tool-cli <page> <words> --tcp 127.0.0.1:<port> --delay <delayMs, stretched> <extra>
  ToolRun RunTcp(std::vector<std::string> words, int delayMs = 40) {
    return RunOver({"--tcp", TcpAddress()}, std::move(words), delayMs);
  }
  // The simulator's pseudo-terminal and TCP address, for runs that spell out their own words.
  std::string Port() const { return sim_.SerialPath(); }
  std::string TcpAddress() const { return "127.0.0.1:" + std::to_string(sim_.TcpPort()); }

  SimLink sim_;

 private:
  ToolRun RunOver(std::vector<std::string> connection, std::vector<std::string> words,
                  int delayMs) {
    if (!page_.empty()) words.insert(words.begin(), page_);
    words.insert(words.end(), connection.begin(), connection.end());
    words.insert(words.end(), {"--delay", std::to_string(TestDelayMs(delayMs))});
    words.insert(words.end(), extra_.begin(), extra_.end());
    return RunToolCli(words);
  }

  std::string page_;
  std::vector<std::string> extra_;
};

#endif  // _WIN32

}  // namespace pages::testing
