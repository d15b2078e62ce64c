// tool-cli against the simulator: a verb through the whole dispatch, and the tool-cli binary's
// raw command over a pseudo-terminal and loopback TCP.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "link/exchange.h"
#include "pages/testing/sim_fixtures.h"

namespace cli {
namespace {

// A page whose one verb reads the instrument's versions, the way a command module does.
std::vector<pages::CommandSet> VersionSet() {
  pages::CommandSet set;
  set.page = "panel";
  set.help = "connection panel";
  set.commands.push_back(pages::Verb(
      "read-version", "read hardware and software version",
      {pages::Text("note", "echoed back").Optional()},
      [](devlink::Channel& channel, const pages::Args& args) {
        const devlink::Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), 0x0C, 0xAA);
        devlink::ReplySpec spec;
        spec.capacity = 15;  // the reply's length: over TCP also the least length accepted
        const devlink::ExchangeResult result = channel.Exchange(request, spec);
        if (result.status == devlink::ExchangeStatus::PortNotOpen) {
          return pages::Outcome::Failure(devlink::kPortOpenFailed);
        }
        if (devlink::CheckSumFrame(result.reply, 0x0C, 15) != devlink::FrameCheck::Ok) {
          return pages::Outcome::Failure("数据读取失败");
        }
        const auto payload = devlink::SumFramePayload(result.reply);
        pages::Outcome outcome = pages::Outcome::Success("数据读取成功");
        outcome.With("hardware", std::string(payload.begin(), payload.begin() + 4))
            .With("software", std::string(payload.begin() + 4, payload.end()));
        if (args.Has("note")) outcome.With("note", args.Text("note"));
        return outcome;
      }));
  return {set};
}

// The runs name their page (or "raw") and their connection words themselves.
using CliSimTest = pages::testing::ToolCliTest;

using Process = pages::testing::ToolRun;

// The tool-cli binary itself.
Process RunTool(const std::vector<std::string>& words) { return pages::testing::RunToolCli(words); }

int RunVerb(const std::vector<std::string>& words, std::string& out) {
  std::ostringstream o, e;
  const int exit = Run(words, VersionSet(), o, e);
  out = o.str() + e.str();
  return exit;
}

TEST_F(CliSimTest, VerbOverSerialAndTcpPrintsOneJsonObject) {
  const std::string expected =
      "{\"ok\":true,\"message\":\"数据读取成功\",\"values\":{\"hardware\":\"1.02\","
      "\"software\":\"2.15\",\"note\":\"-x y\"}}\n";
  std::string out;
  EXPECT_EQ(RunVerb({"panel", "read-version", "--port", Port(), "--delay", "150",
                     "--note", "-x y"},
                    out),
            kExitOk);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(RunVerb({"panel", "read-version", "--note", "-x y", "--tcp", TcpAddress(), "--delay",
                     "20", "--address", "1"},
                    out),
            kExitOk);
  EXPECT_EQ(out, expected);
  // Both requests went out with the device address 1.
  const auto log = sim_.simulator.RequestLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], devlink::BuildSumFrame(1, 0x0C, 0xAA));
  EXPECT_EQ(log[1], log[0]);
}

// tool-cli takes a whole reply at once by default, over a pseudo-terminal and over TCP, the
// binary's verbs and raw alike; --fixed-delay waits the whole delay first; --fast is still taken.
TEST_F(CliSimTest, WholeReplyTakenAtOnceByDefaultFixedDelayWaits) {
  using std::chrono::milliseconds;
  constexpr int kDelayMs = 3000;
  const std::string delay = std::to_string(kDelayMs);
  struct Case {
    std::vector<std::string> words;
    bool waits;
  };
  const std::vector<std::string> read = {"settings", "read-recording", "--delay", delay};
  const std::vector<std::string> raw = {"raw", "--delay", delay, "25 01 0C AA 00 66 42"};
  auto with = [](std::vector<std::string> words, std::vector<std::string> more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
  };
  const Case cases[] = {
      {with(read, {"--port", Port()}), false},
      {with(read, {"--tcp", TcpAddress()}), false},
      {with(raw, {"--port", Port()}), false},
      {with(raw, {"--tcp", TcpAddress()}), false},
      {with(read, {"--port", Port(), "--fast"}), false},
      {with(read, {"--port", Port(), "--fixed-delay"}), true},
      {with(raw, {"--tcp", TcpAddress(), "--fixed-delay"}), true},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const Process p = RunTool(c.words);
    const auto took = std::chrono::steady_clock::now() - start;
    std::string shown;
    for (const std::string& w : c.words) shown += w + " ";
    EXPECT_EQ(p.exit, 0) << shown << p.out << p.err;
    if (c.waits) {
      EXPECT_GE(took, milliseconds(kDelayMs)) << shown;
    } else {
      EXPECT_LT(took, milliseconds(kDelayMs)) << shown;
    }
  }
  const Process both = RunTool(with(read, {"--port", Port(), "--fast", "--fixed-delay"}));
  EXPECT_EQ(both.exit, kExitUsage);
  EXPECT_NE(both.out.find("\"option\":\"--fixed-delay\""), std::string::npos) << both.out;
  std::ostringstream help, e;
  EXPECT_EQ(cli::Run({"--help"}, VersionSet(), help, e), kExitOk);
  EXPECT_NE(help.str().find("--fixed-delay"), std::string::npos);
  EXPECT_NE(help.str().find("default here: a reply is taken the moment it is whole"),
            std::string::npos);
}

// The port goes away while tool-cli waits for a silent instrument: it names the port at once
// (not after the whole delay) and exits 1 with what it saw.
TEST_F(CliSimTest, VanishedPortIsNamedAndExitsOne) {
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  const std::string path = Port();
  std::thread pull([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    sim_.StopSerial();
  });
  const auto start = std::chrono::steady_clock::now();
  const Process p = RunTool({"settings", "read-recording", "--port", path, "--delay", "8000"});
  const auto took = std::chrono::steady_clock::now() - start;
  pull.join();
  EXPECT_EQ(p.exit, kExitFailed) << p.out << p.err;
  EXPECT_NE(p.out.find("\"message\":\"串口已断开：" + path + "\""), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("\"detail\":\""), std::string::npos) << p.out;
  EXPECT_LT(took, std::chrono::milliseconds(8000));
}

TEST_F(CliSimTest, FailedCommandExitsOne) {
  sim::Faults faults;
  faults.wrongEnd = true;
  sim_.simulator.SetFaults(faults);
  std::string out;
  EXPECT_EQ(RunVerb({"panel", "read-version", "--port", Port(), "--delay", "150"}, out),
            kExitFailed);
  EXPECT_EQ(out, "{\"ok\":false,\"message\":\"数据读取失败\",\"values\":{}}\n");
}


TEST_F(CliSimTest, TraceWritesEachExchangeAndAFailureSaysWhy) {
  const Process traced = RunTool({"settings", "read-recording", "--port", Port(),
                                  "--delay", "150", "--fast", "--trace"});
  EXPECT_EQ(traced.exit, 0) << traced.out << traced.err;
  EXPECT_NE(traced.err.find("trace: "), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find(" " + Port() + " > 25 01 "), std::string::npos) << traced.err;
  EXPECT_EQ(traced.out.find("detail"), std::string::npos) << traced.out;

  sim::Faults faults;
  faults.wrongSum = true;
  sim_.simulator.SetFaults(faults);
  const Process bad = RunTool({"settings", "read-recording", "--port", Port(),
                               "--delay", "150", "--fast"});
  EXPECT_EQ(bad.exit, 1);
  EXPECT_NE(bad.out.find("Sum8 mismatch\",\"values\""), std::string::npos) << bad.out;
  EXPECT_TRUE(bad.err.empty()) << bad.err;  // no --trace, no trace lines

  const std::string closed = TcpAddress();
  sim_.StopTcp();  // nothing listens there now
  const Process refused = RunTool({"settings", "read-recording", "--tcp", closed});
  EXPECT_EQ(refused.exit, 1);
  EXPECT_NE(refused.out.find("\"detail\":\"connection refused\""), std::string::npos) << refused.out;
}

TEST_F(CliSimTest, RawOverSerialPrintsRequestAndReply) {
  const Process p = RunTool({"raw", "--port", Port(), "--delay", "150", "--append", "sum",
                             "25010cAA", "00 66"});
  EXPECT_EQ(p.exit, 0) << p.err;
  EXPECT_EQ(p.out,
            "request: 25 01 0C AA 00 66 42\n"
            "reply:   3C 01 0C AA 08 31 2E 30 32 32 2E 31 35 66 E8\n"
            "check:   SumFrame ok\n");
  const std::vector<sim::Bytes> sent = {{0x25, 0x01, 0x0C, 0xAA, 0x00, 0x66, 0x42}};
  EXPECT_EQ(sim_.simulator.RequestLog(), sent);
}

TEST_F(CliSimTest, RawNamesTheFailedCheck) {
  sim::Faults faults;
  faults.wrongEcho = true;
  sim_.simulator.SetFaults(faults);
  const Process p = RunTool({"raw", "--port", Port(), "--delay", "150",
                             "25 01 0C AA 00 66 42"});
  EXPECT_EQ(p.exit, 0) << p.err;
  EXPECT_NE(p.out.find("check:   SumFrame fails: echoed command\n"), std::string::npos) << p.out;
}

TEST_F(CliSimTest, RawWithSilentInstrumentExitsOne) {
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  const Process p = RunTool({"raw", "--port", Port(), "--delay", "50",
                             "25 01 0C AA 00 66 42"});
  EXPECT_EQ(p.exit, 1) << p.err;
  EXPECT_EQ(p.out,
            "request: 25 01 0C AA 00 66 42\nreply:   (none)\ncheck:   no reply within 50 ms\n");
}

TEST_F(CliSimTest, RawWithBadHexExitsTwoAndSendsNothing) {
  const Process p = RunTool({"raw", "--port", Port(), "25 01 0X"});
  EXPECT_EQ(p.exit, 2);
  EXPECT_EQ(p.out, "");
  EXPECT_NE(p.err.find("0X"), std::string::npos) << p.err;
  EXPECT_TRUE(sim_.simulator.RequestLog().empty());
}

TEST_F(CliSimTest, RawOverTcpChecksTheModbusCrc) {
  const Process p = RunTool({"raw", "--tcp", TcpAddress(), "--delay", "20", "--append", "crc",
                             "01 03 00 67 00 01"});
  EXPECT_EQ(p.exit, 0) << p.err;
  EXPECT_EQ(p.out,
            "request: 01 03 00 67 00 01 35 D5\n"
            "reply:   01 03 02 00 03 F8 45\n"
            "check:   ModbusFrame ok\n");
}

// Input that a field or a command refuses: exit 2, nothing sent, the system's own message and
// the option in the JSON.
struct Refused {
  std::vector<std::string> words;
  const char* option;
  const char* message;
};

TEST_F(CliSimTest, RefusedInputExitsTwoNamesTheOptionAndSendsNothing) {
  const std::vector<std::string> server{"property", "write-server", "--server-port"};
  const std::vector<std::string> sn{"property", "write-sn", "--serial", "1"};
  const std::vector<std::string> limits{"settings", "write-alarm-limits", "--temp-upper", "40",
                                        "--hum-lower", "0", "--hum-upper", "90", "--temp-lower"};
  auto with = [](std::vector<std::string> words, std::initializer_list<std::string> more) {
    words.insert(words.end(), more);
    return words;
  };
  const Refused cases[] = {
      {with(server, {"abc"}), "--server-port", "端口号范围为0-65535"},
      {with(server, {"80abc"}), "--server-port", "端口号范围为0-65535"},
      {with(server, {"70000"}), "--server-port", "端口号范围为0-65535"},
      {with(sn, {"--year", "2026", "--month", "17"}), "--month", "月份范围为1-12"},
      {with(sn, {"--year", "2026", "--month", "0"}), "--month", "月份范围为1-12"},
      {with(sn, {"--year", "2026", "--month", "13"}), "--month", "月份范围为1-12"},
      {with(sn, {"--year", "1800", "--month", "1"}), "--year", "年份范围为2000-4095"},
      {with(sn, {"--year", "70000", "--month", "1"}), "--year", "年份范围为2000-4095"},
      {with(sn, {"--year", "2026", "--month", "x"}), "--month", "请键入一个整数。"},
      {with(limits, {"1e400"}), "--temp-lower", "请键入一个数。"},
      {with(limits, {"-400"}), "--temp-lower", "温度值范围为(-300~1000)"},
      {{"settings", "write-recording", "--interval", "24", "--unit", "hours", "--capacity", "5"},
       "--interval", "小时的时间间隔在1到23之间"},
      {{"settings", "write-alarm-switches", "--temp", "maybe", "--hum", "on"}, "--temp",
       "--temp 应为 on 或 off"},
      {{"property", "read-channel", "--channel", "40"}, "--channel", "请选择通道号！"},
      {{"property", "write-plate", "--plate", "粤B1234567"}, "--plate", "输入的文字过长！"},
      {{"property2", "write-sample-period", "--channel", "3", "--period", "7秒"}, "--period",
       "采样周期不在列表中"},
      {{"chiller", "write", "--set-point", "400"}, "--set-point", "设置温度范围为-327.68~327.67"},
  };
  for (const Refused& c : cases) {
    const Process p = Run(c.words, 20);
    std::string shown;
    for (const std::string& w : c.words) shown += w + " ";
    EXPECT_EQ(p.exit, 2) << shown << p.out << p.err;
    EXPECT_NE(p.out.find(std::string("\"message\":\"") + c.message + "\""), std::string::npos)
        << shown << p.out;
    EXPECT_NE(p.out.find(std::string("\"option\":\"") + c.option + "\""), std::string::npos)
        << shown << p.out;
  }
  EXPECT_TRUE(sim_.simulator.RequestLog().empty());
}

// Malformed values of every kind that once reached an instrument: each is refused with exit 2,
// the message and the option, and the simulator receives not one byte of any of them.
TEST_F(CliSimTest, MalformedValuesNeverReachTheInstrument) {
  auto with = [](std::vector<std::string> words, std::initializer_list<std::string> more) {
    words.insert(words.end(), more);
    return words;
  };
  const std::vector<std::string> fridgeNumber{"fridge", "write-alarm-number", "--slot", "1",
                                              "--number"};
  const std::vector<std::string> t32Number{"transmitter32", "write-alarm-number", "--slot", "2",
                                           "--number"};
  const std::vector<std::string> gprs{"relay", "write-gprs", "--server-port", "3550", "--sn",
                                      "0A1B00042"};
  const std::vector<std::string> wifi{"wifi", "write", "--security", "Disable", "--dhcp", "on"};
  const std::vector<std::string> apn{"transmitter32", "write-apn"};
  std::string tooManyTypes = "temperature";
  for (int i = 0; i < 255; ++i) tooManyTypes += ",humidity";
  std::string ninePairs;
  for (int i = 0; i < 9; ++i) ninePairs += (i ? "," : "") + std::to_string(i * 10) + ":1";
  constexpr const char* kDigits = "号码只能由数字组成！";
  constexpr const char* kMac = "MAC 地址格式错误";
  constexpr const char* kText = "输入的文字含有无法发送的字符！";
  const Refused cases[] = {
      {with(fridgeNumber, {"abc"}), "--number", kDigits},
      {with(fridgeNumber, {"+8613800138000"}), "--number", kDigits},
      {with(fridgeNumber, {"138 0013 8000"}), "--number", kDigits},
      {with(t32Number, {"abc"}), "--number", kDigits},
      {with(t32Number, {"+8613800138000"}), "--number", kDigits},
      {{"btlogger", "clear", "--mac", "00:1A:7D:DA:71:1G"}, "--mac", kMac},
      {{"btlogger", "read-channels", "--mac", "zz:zz:zz:zz:zz:zz"}, "--mac", kMac},
      {{"btlogger", "clear", "--mac", "00:1A:7D:DA:71"}, "--mac", kMac},
      {{"btlogger", "write-channels", "--mac", "00:1A:7D:DA:71:13", "--types", tooManyTypes},
       "--types", "err:配置数量不能大于255"},
      {{"curvecal", "read", "--kind", "5", "--channel", "1", "--type", "temperature", "--mac",
        "00:1A:7D:DA:71:1G"},
       "--mac", kMac},
      {{"curvecal", "write", "--kind", "1", "--channel", "3", "--type", "temperature", "--pairs",
        ninePairs},
       "--pairs", "请删除多余行！"},
      {with(wifi, {"--ssid", "lab", "--mac", "00:1A:7D:DA:71"}), "--mac", kMac},
      {with(wifi, {"--ssid", "lab\x01"}), "--ssid", kText},
      {with(wifi, {"--ssid", "lab", "--password", "pass\nword"}), "--password", kText},
      {with(gprs, {"--interval", "7"}), "--interval", "发送间隔应为60的约数或倍数！"},
      {with(gprs, {"--interval", "0"}), "--interval", "发送间隔应为60的约数或倍数！"},
      {with(gprs, {"--interval", "60", "--mode", "domain", "--domain", "a\x01b.cn"}), "--domain",
       kText},
      {{"relay", "set-time", "--at", "2024-02-30 07:08:09"}, "--at", "时间无效！"},
      {{"relay", "write-print", "--company", "ACME\nLtd"}, "--company", kText},
      {with(apn, {"--apn", "cmnet\x01"}), "--apn", kText},
      {with(apn, {"--apn", "cmnet", "--user", "u\nv"}), "--user", kText},
      {with(apn, {"--apn", "cmnet", "--password", "p\x01"}), "--password", kText},
  };
  for (const Refused& c : cases) {
    const Process p = Run(c.words, 20);
    std::string shown;
    for (const std::string& w : c.words) shown += w + " ";
    EXPECT_EQ(p.exit, 2) << shown << p.out << p.err;
    EXPECT_NE(p.out.find(std::string("\"message\":\"") + c.message + "\""), std::string::npos)
        << shown << p.out;
    EXPECT_NE(p.out.find(std::string("\"option\":\"") + c.option + "\""), std::string::npos)
        << shown << p.out;
  }
  EXPECT_TRUE(sim_.simulator.RequestLog().empty());
}

TEST(CliBinaryTest, HelpAndUnknownPage) {
  const Process help = RunTool({"--help"});
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("raw"), std::string::npos);
  const Process unknown = RunTool({"no-such-page", "read"});
  EXPECT_EQ(unknown.exit, 2);
  EXPECT_NE(unknown.out.find("no-such-page"), std::string::npos);
}

}  // namespace
}  // namespace cli
