// The server against simulated gateways through the built programs (tool-cli server listen fed
// on its standard input, tool-sim --gateway); in process in gateway_fleet_test.cpp.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>

#include <utility>

#include <cstdlib>
#include <string>
#include <vector>

#include "server/gateway_commands.h"
#include "server/gateway_server.h"
#include "sim/gateway_fleet.h"

extern char** environ;

namespace gateway {
namespace {

using namespace std::chrono_literals;

// A child program with its standard input and output on pipes.
class Child {
 public:
  Child(const char* variable, std::vector<std::string> words) {
    const char* path = std::getenv(variable);
    if (path == nullptr) return;
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    words.insert(words.begin(), path);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, path, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
  }
  ~Child() {
    CloseInput();
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  bool Running() const { return pid_ > 0; }
  void Send(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void CloseInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }
  // The next output line, or "" after `limit` without one.
  std::string Line(std::chrono::milliseconds limit = 3000ms) {
    const auto end = Clock::now() + limit;
    while (true) {
      const size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0) return "";
      pollfd fd{output_, POLLIN, 0};
      if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      const ssize_t n = read(output_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }
  // Ends the program and returns its exit status (-1 when killed by a signal).
  int Stop(int signal) {
    if (pid_ <= 0) return -1;  // never signal a process group or every process
    if (signal != 0) kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string buffer_;
};

#define EXPECT_HAS(line, part) EXPECT_NE((line).find(part), std::string::npos) << (line)

TEST(GatewayCliTest, ServerListenDrivesSimulatedGateways) {
  Child cli("TOOL_CLI", {"server", "listen", "--port", "0", "--bind", "127.0.0.1"});
  ASSERT_TRUE(cli.Running());
  const std::string listening = cli.Line();
  ASSERT_NE(listening.find("\"event\":\"listening\""), std::string::npos) << listening;
  const std::string port = listening.substr(listening.find("\"port\":") + 7);
  const std::string where = "127.0.0.1:" + port.substr(0, port.find('}'));

  Child normal("TOOL_SIM", {"--gateway", where, "--gateways", "2"});
  ASSERT_TRUE(normal.Running());
  EXPECT_HAS(cli.Line(), R"({"event":"connected","gateway":1,"address":"127.0.0.1","port":)");
  EXPECT_HAS(cli.Line(), R"("gateway":2)");
  Child silent("TOOL_SIM", {"--gateway", where, "--gateway-mode", "silent"});
  ASSERT_TRUE(silent.Running());
  EXPECT_HAS(cli.Line(), R"("gateway":3)");
  Child garbage("TOOL_SIM", {"--gateway", where, "--gateway-mode", "garbage"});
  ASSERT_TRUE(garbage.Running());
  EXPECT_HAS(cli.Line(), R"("gateway":4)");

  cli.Send("bind 1 12ab34567");
  EXPECT_HAS(cli.Line(), R"({"command":"bind","gateway":1,"loggers":["12AB34567"],"ok":true)");
  // 99999 does not fit the ID: it would reach the gateway as ABCD34463, so it is refused.
  cli.Send("bind 1 ABCD99999");
  EXPECT_HAS(cli.Line(), R"({"command":"bind","gateway":1,"ok":false,"message":"SN号应为)");
  cli.Send("bind 1 ABCD34463");
  EXPECT_HAS(cli.Line(), R"("loggers":["12AB34567","ABCD34463"],"ok":true)");
  // Malformed values are refused with the option named; the next line runs at once.
  const std::pair<const char*, const char*> refused[] = {
      {"bind 1 ZZZZZZZZZ", R"("option":"--sn")"},
      {"interval 1 ABCD34463 1e2", R"("option":"--interval")"},
      {"interval 1 ABCD34463 5abc", R"("option":"--interval")"},
      {"limits 1 ABCD34463 abc abc abc abc", R"("message":"请键入一个数。","option":"--temp-upper")"},
      {"limits 1 ABCD34463 nan -20 80 20", R"("option":"--temp-upper")"},
      {"limits 1 ABCD34463 25 inf 80 20", R"("option":"--temp-lower")"},
      {"limits 1 ABCD34463 -20 25 80 20", R"("message":"温度下限不能大于上限")"},
      {"limits 1 ABCD34463 25 -20 20 80", R"("message":"湿度下限不能大于上限")"},
  };
  for (const auto& [line, named] : refused) {
    cli.Send(line);
    const std::string answer = cli.Line();
    EXPECT_HAS(answer, R"("ok":false)");
    EXPECT_HAS(answer, named);
  }
  cli.Send("delete 1 12AB34567");
  EXPECT_HAS(cli.Line(), R"("loggers":["ABCD34463"],"ok":true,"message":"操作成功")");
  cli.Send("interval 1 ABCD34463 256");
  EXPECT_HAS(cli.Line(), R"("ok":false,"message":"请输入有效上报间隔！（1~255）")");
  cli.Send("interval 1 ABCD34463 15");
  EXPECT_HAS(cli.Line(), R"({"command":"interval","gateway":1,"ok":true,"message":"操作成功")");
  cli.Send("limits 1 ABCD34463 25.3 -20 80 20");
  EXPECT_HAS(cli.Line(), R"("ok":true,"message":"操作成功")");
  cli.Send("bind 1 12345");
  EXPECT_HAS(cli.Line(), R"("message":"SN号必须为9位字母或数字！")");
  cli.Send("read 4");
  EXPECT_HAS(cli.Line(), R"({"command":"read","gateway":4,"ok":false,"message":"解析失败")");

  // The silent gateway holds the next line back until its command gives up.
  cli.Send("read 3");
  cli.Send("list");
  const std::string timedOut = cli.Line(8000ms);
  EXPECT_HAS(timedOut, R"({"command":"read","gateway":3,"ok":false,"message":"操作失败")");
  const std::string list = cli.Line();
  // Each gateway with its address and its own port.
  EXPECT_TRUE(std::regex_search(
      list, std::regex(R"(\{"gateway":1,"address":"127\.0\.0\.1","port":[1-9][0-9]*,"loggers":\["ABCD34463"\]\})")))
      << list;
  EXPECT_TRUE(std::regex_search(
      list, std::regex(R"(\{"gateway":4,"address":"127\.0\.0\.1","port":[1-9][0-9]*,"loggers":\[\]\})")))
      << list;

  cli.Send("clear 1");
  EXPECT_HAS(cli.Line(), R"({"command":"clear","gateway":1,"loggers":[],"ok":true,"message":"操作成功")");
  cli.Send("read 9");
  EXPECT_HAS(cli.Line(), R"x("message":"no gateway 9 (see list)")x");

  // Gateways going away are reported; the end of the input stops the server.
  EXPECT_EQ(normal.Stop(SIGTERM), 0);
  EXPECT_HAS(cli.Line(), R"("event":"closed")");
  EXPECT_HAS(cli.Line(), R"("event":"closed")");
  cli.CloseInput();
  EXPECT_EQ(cli.Stop(0), 0);
}

}  // namespace
}  // namespace gateway
