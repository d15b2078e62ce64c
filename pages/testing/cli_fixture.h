#pragma once
// For tests that run a page's verbs through the tool-cli binary against the simulator on a
// pseudo-terminal: the port belongs to tool-cli, the simulator's state stays readable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"

namespace pages::testing {

class CliFixture : public ::testing::Test {
 protected:
  explicit CliFixture(std::string page) : page_(std::move(page)) {}
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.serial.ClosePort();
  }
  // tool-cli <page> words... --port <pty> --delay 60 --fast
  ToolRun Run(std::vector<std::string> words) {
    words.insert(words.begin(), page_);
    words.insert(words.end(), {"--port", sim_.SerialPath(), "--delay", "60", "--fast"});
    return RunToolCli(words);
  }

  SimLink sim_;

 private:
  std::string page_;
};

}  // namespace pages::testing
