// tool-cli without an instrument: JSON output, hex, option words, dispatch and its errors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "cli/cli.h"
#include "cli/hex.h"
#include "cli/json_output.h"
#include "cli/options.h"
#include "cli/raw_command.h"

namespace cli {
namespace {

// ---- JSON ----

struct JsonCase {
  std::string name;
  pages::Value value;
  std::string json;
};

class JsonValueTest : public ::testing::TestWithParam<JsonCase> {};

TEST_P(JsonValueTest, TypedAndEscaped) { EXPECT_EQ(JsonValue(GetParam().value), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Values, JsonValueTest,
    ::testing::Values(
        JsonCase{"true", true, "true"}, JsonCase{"false", false, "false"},
        JsonCase{"negative", int64_t{-42}, "-42"},
        JsonCase{"int64_max", std::numeric_limits<int64_t>::max(), "9223372036854775807"},
        JsonCase{"tenths", 25.5, "25.5"}, JsonCase{"shortest", 0.1, "0.1"},
        JsonCase{"negative_tenth", -10.0, "-10"},
        JsonCase{"nan", std::numeric_limits<double>::quiet_NaN(), "null"},
        JsonCase{"infinity", std::numeric_limits<double>::infinity(), "null"},
        JsonCase{"chinese", std::string("数据读取成功"), "\"数据读取成功\""},
        JsonCase{"quote_backslash", std::string("a\"b\\c"), "\"a\\\"b\\\\c\""},
        JsonCase{"newline_tab", std::string("a\nb\tc\r"), "\"a\\nb\\tc\\r\""},
        JsonCase{"control", std::string("a\x01" "b\x1f"), "\"a\\u0001b\\u001f\""},
        JsonCase{"nul", std::string("a\0b", 3), "\"a\\u0000b\""},
        // Bytes that are not UTF-8 would make the whole output invalid JSON.
        JsonCase{"not_utf8", std::string("A\xC9"), "\"A\xEF\xBF\xBD\""}),
    [](const auto& info) { return info.param.name; });

TEST(OutcomeJsonTest, OneObjectWithValuesInOrder) {
  pages::Outcome outcome = pages::Outcome::Success("数据读取成功");
  outcome.With("upper", 30.5).With("enabled", true).With("count", int64_t{3}).With("name", "温度");
  EXPECT_EQ(OutcomeJson(outcome),
            "{\"ok\":true,\"message\":\"数据读取成功\",\"values\":{\"upper\":30.5,"
            "\"enabled\":true,\"count\":3,\"name\":\"温度\"}}");
  EXPECT_EQ(OutcomeJson(pages::Outcome::Failure("地址号范围为1-255")),
            "{\"ok\":false,\"message\":\"地址号范围为1-255\",\"values\":{}}");
  // Refused input names the option it came from.
  EXPECT_EQ(OutcomeJson(pages::Outcome::Refused("地址号范围为1-255", "new")),
            "{\"ok\":false,\"message\":\"地址号范围为1-255\",\"option\":\"--new\","
            "\"values\":{}}");
  // "group.key" values form one object where the group first appears, members in order.
  pages::Outcome grouped = pages::Outcome::Success("");
  grouped.With("records", int64_t{2}).With("t.min", 1.5).With("h.min", 40.0).With("t.max", 9.0)
      .With("last", "x");
  EXPECT_EQ(OutcomeJson(grouped),
            "{\"ok\":true,\"message\":\"\",\"values\":{\"records\":2,\"t\":{\"min\":1.5,"
            "\"max\":9},\"h\":{\"min\":40},\"last\":\"x\"}}");
  pages::Outcome deep = pages::Outcome::Success("");
  deep.With("rows", int64_t{1}).With("report.file", "r.pdf").With("report.t.min", 1.5).With("report.rows", int64_t{1});
  EXPECT_EQ(OutcomeJson(deep),
            "{\"ok\":true,\"message\":\"\",\"values\":{\"rows\":1,\"report\":{\"file\":\"r.pdf\","
            "\"t\":{\"min\":1.5},\"rows\":1}}}");
}

// ---- hex ----

struct HexCase {
  std::vector<std::string> words;
  std::optional<devlink::Bytes> bytes;
};

class HexTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexTest, Parses) {
  std::string error;
  const auto bytes = ParseHex(GetParam().words, &error);
  EXPECT_EQ(bytes, GetParam().bytes);
  EXPECT_EQ(error.empty(), bytes.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Words, HexTest,
    ::testing::Values(HexCase{{"25 01 0C"}, devlink::Bytes{0x25, 0x01, 0x0C}},
                      HexCase{{"25", "010c", "Aa"}, devlink::Bytes{0x25, 0x01, 0x0C, 0xAA}},
                      // Pairs may straddle words: blanks are ignored everywhere.
                      HexCase{{"2", "5"}, devlink::Bytes{0x25}},
                      HexCase{{}, devlink::Bytes{}},
                      HexCase{{"250"}, std::nullopt},
                      HexCase{{"0x25"}, std::nullopt},
                      HexCase{{"GG"}, std::nullopt},
                      HexCase{{"25,01"}, std::nullopt}));

TEST(HexTest, FormatsUpperCasePairs) {
  EXPECT_EQ(FormatHex(devlink::Bytes{0x3C, 0x0a, 0xff, 0x00}), "3C 0A FF 00");
  EXPECT_EQ(FormatHex(devlink::Bytes{}), "");
}

// ---- option words ----

TEST(ParseWordsTest, OptionValueMayStartWithDash) {
  ParsedWords parsed;
  std::string error;
  ASSERT_TRUE(ParseWords({"--temp-lower", "-10.5", "--name=a=b", "--no-sum", "--x", "--y", "plain"},
                         {"no-sum"}, parsed, &error))
      << error;
  EXPECT_EQ(parsed.options.at("temp-lower"), "-10.5");
  EXPECT_EQ(parsed.options.at("name"), "a=b");
  EXPECT_EQ(parsed.options.at("x"), "--y");  // the next word, whatever it is
  EXPECT_EQ(parsed.flags.count("no-sum"), 1u);
  EXPECT_EQ(parsed.plain, std::vector<std::string>{"plain"});
}

TEST(ParseWordsTest, Errors) {
  const std::vector<std::vector<std::string>> bad = {
      {"--delay"}, {"--a", "1", "--a", "2"}, {"--no-sum=1"}};
  for (const auto& words : bad) {
    ParsedWords parsed;
    std::string error;
    EXPECT_FALSE(ParseWords(words, {"no-sum"}, parsed, &error)) << words.front();
    EXPECT_NE(error.find("--"), std::string::npos);
  }
}

TEST(ParseWordsTest, RepeatableOptionsAreJoinedByNewlines) {
  ParsedWords parsed;
  std::string error;
  ASSERT_TRUE(ParseWords({"--row", "1:a", "--x", "1", "--row=3:b"}, {}, parsed, &error, {"row"}))
      << error;
  EXPECT_EQ(parsed.options.at("row"), "1:a\n3:b");
  EXPECT_FALSE(ParseWords({"--x", "1", "--x", "2"}, {}, parsed, &error, {"row"}));
}

struct ConnectionCase {
  std::map<std::string, std::string> options;
  bool ok;
};

class TakeConnectionTest : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(TakeConnectionTest, ChecksEachOption) {
  auto options = GetParam().options;
  Connection connection;
  std::string error;
  EXPECT_EQ(TakeConnection(options, true, connection, &error), GetParam().ok) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Options, TakeConnectionTest,
    ::testing::Values(ConnectionCase{{{"port", "/dev/ttyUSB0"}}, true},
                      ConnectionCase{{{"tcp", "127.0.0.1:10001"}, {"address", "0"}}, true},
                      ConnectionCase{{{"port", "/dev/x"}, {"baud", "14400"}, {"delay", "0"}}, true},
                      ConnectionCase{{}, false},
                      ConnectionCase{{{"port", "/dev/x"}, {"tcp", "127.0.0.1:1"}}, false},
                      ConnectionCase{{{"tcp", "127.0.0.1"}}, false},
                      ConnectionCase{{{"tcp", "127.0.0.1:0"}}, false},
                      ConnectionCase{{{"tcp", "127.0.0.1:65536"}}, false},
                      ConnectionCase{{{"tcp", "localhost:80"}}, false},
                      ConnectionCase{{{"tcp", "127.0.0.1:80"}, {"baud", "9600"}}, false},
                      ConnectionCase{{{"port", "/dev/x"}, {"address", "256"}}, false},
                      ConnectionCase{{{"port", "/dev/x"}, {"address", "-1"}}, false},
                      ConnectionCase{{{"port", "/dev/x"}, {"delay", "6OO"}}, false},
                      ConnectionCase{{{"port", "/dev/x"}, {"baud", "fast"}}, false}));

TEST(TakeConnectionTest, LeavesOtherOptionsAndFillsValues) {
  std::map<std::string, std::string> options = {
      {"tcp", "127.0.0.1:502"}, {"address", "12"}, {"delay", "50"}, {"upper", "-3"}};
  Connection connection;
  ASSERT_TRUE(TakeConnection(options, true, connection, nullptr));
  EXPECT_EQ(options, (std::map<std::string, std::string>{{"upper", "-3"}}));
  EXPECT_EQ(*connection.host, "127.0.0.1");
  EXPECT_EQ(connection.tcpPort, 502);
  EXPECT_EQ(connection.address, 12);
  EXPECT_EQ(connection.delayMs, 50);
}

// ---- dispatch ----

struct Recorded {
  int calls = 0;
  pages::Args args;
};

std::vector<pages::CommandSet> TestSets(Recorded& recorded) {
  pages::CommandSet set;
  set.page = "demo";
  set.help = "demonstration page";
  set.commands.push_back(pages::Verb(
      "set-limits", "write the limits",
      {pages::Number("temp-lower", "lower temperature limit"),
       pages::Text("label", "a label").Optional()},
      [&recorded](devlink::Channel&, const pages::Args& args) {
        ++recorded.calls;
        recorded.args = args;
        return pages::Outcome::Success("数据设置成功").With("lower", args.Number("temp-lower"));
      }));
  set.commands.push_back(pages::Verb(
      "pick", "a verb with a plain word",
      {pages::Choice("what", "what to pick", {"a", "b"}).Positional()},
      [&recorded](devlink::Channel&, const pages::Args& args) {
        ++recorded.calls;
        recorded.args = args;
        return pages::Outcome::Success("ok");
      }));
  set.commands.push_back(pages::Verb(
      "flagged", "a verb with a bare option", {pages::Flag("all", "every one")},
      [&recorded](devlink::Channel&, const pages::Args& args) {
        ++recorded.calls;
        recorded.args = args;
        return pages::Outcome::Success("ok");
      }));
  set.commands.push_back(pages::Verb("throws", "a verb whose argument parsing throws",
                                     {pages::Text("n", "number")},
                                     [](devlink::Channel&, const pages::Args& args) {
                                       return pages::Outcome::Success("x").With(
                                           "n", int64_t{std::stoi(args.Text("n"))});
                                     }));
  return {set};
}

struct RunResult {
  int exit;
  std::string out;
  std::string err;
};

RunResult RunWith(const std::vector<std::string>& words, Recorded& recorded) {
  std::ostringstream out, err;
  const int exit = Run(words, TestSets(recorded), out, err);
  return {exit, out.str(), err.str()};
}

struct UsageCase {
  std::string name;
  std::vector<std::string> words;
  std::string errorMentions;
  // A usage error of a verb is one JSON line on stdout, naming the option at fault ("": none);
  // without one (no words, raw's own errors) the text is on stderr.
  std::optional<std::string> option = std::nullopt;
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, BadArgumentsExitTwoWithoutRunning) {
  const UsageCase& c = GetParam();
  Recorded recorded;
  const RunResult r = RunWith(c.words, recorded);
  EXPECT_EQ(r.exit, kExitUsage);
  EXPECT_EQ(recorded.calls, 0);
  if (!c.option) {
    EXPECT_NE(r.err.find(c.errorMentions), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    return;
  }
  EXPECT_EQ(r.out.rfind("{\"ok\":false,\"message\":", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
  EXPECT_NE(r.out.find(c.errorMentions), std::string::npos) << r.out;
  const std::string named = "\"option\":\"--" + *c.option + "\"";
  EXPECT_EQ(r.out.find(named) != std::string::npos, !c.option->empty()) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Words, UsageTest,
    ::testing::Values(
        UsageCase{"nothing", {}, "Usage"},
        UsageCase{"unknown_page", {"nopage", "x"}, "nopage", ""},
        UsageCase{"no_verb", {"demo"}, "verb"},
        UsageCase{"unknown_verb", {"demo", "erase", "--port", "/dev/x"}, "erase", ""},
        UsageCase{"missing_required",
                  {"demo", "set-limits", "--port", "/dev/null", "--label", "x"},
                  "缺少参数 --temp-lower", "temp-lower"},
        UsageCase{"unknown_option",
                  {"demo", "set-limits", "--port", "/dev/x", "--temp-lower", "1", "--upper", "2"},
                  "unknown option --upper", "upper"},
        UsageCase{"given_twice",
                  {"demo", "set-limits", "--port", "/dev/x", "--temp-lower", "1", "--temp-lower",
                   "2"},
                  "given twice", "temp-lower"},
        UsageCase{"no_channel", {"demo", "set-limits", "--temp-lower", "1"}, "--port", "port"},
        UsageCase{"both_channels",
                  {"demo", "set-limits", "--temp-lower", "1", "--port", "/dev/x", "--tcp",
                   "127.0.0.1:9"},
                  "either", "tcp"},
        UsageCase{"bad_delay", {"demo", "set-limits", "--port", "/dev/x", "--delay", "-5"},
                  "--delay", "delay"},
        UsageCase{"plain_word", {"demo", "set-limits", "--port", "/dev/x", "5"}, "word \\\"5\\\"", ""},
        UsageCase{"value_missing", {"demo", "set-limits", "--port"}, "--port", "port"},
        UsageCase{"positional_extra", {"demo", "pick", "a", "b", "--port", "/dev/x"}, "word \\\"b\\\"", ""},
        UsageCase{"positional_twice", {"demo", "pick", "a", "--what", "b", "--port", "/dev/x"},
                  "given twice", "what"},
        UsageCase{"raw_bad_hex", {"raw", "--port", "/dev/null", "25 0G"}, "0G"},
        UsageCase{"raw_odd_hex", {"raw", "--port", "/dev/null", "250"}, "odd"},
        UsageCase{"raw_no_bytes", {"raw", "--port", "/dev/null"}, "no request bytes"},
        UsageCase{"raw_bad_append", {"raw", "--port", "/dev/null", "--append", "md5", "25"},
                  "--append"},
        UsageCase{"raw_min_on_serial", {"raw", "--port", "/dev/null", "--min", "7", "25"},
                  "--tcp"},
        UsageCase{"raw_no_sum_on_serial", {"raw", "--port", "/dev/null", "--no-sum", "25"},
                  "--tcp"},
        UsageCase{"raw_capacity", {"raw", "--tcp", "127.0.0.1:9", "--capacity", "0", "25"},
                  "--capacity"},
        UsageCase{"server_unknown_option", {"server", "listen", "--prot", "1"}, "--prot", "prot"},
        UsageCase{"server_port_range", {"server", "listen", "--port", "78036"}, "端口号范围为0-65535",
                  "port"},
        UsageCase{"server_port_letters", {"server", "listen", "--port", "12501abc"},
                  "端口号范围为0-65535", "port"}),
    [](const auto& info) { return info.param.name; });

TEST(DispatchTest, PortThatCannotBeOpenedFailsWithJson) {
  Recorded recorded;
  const RunResult r = RunWith(
      {"demo", "set-limits", "--temp-lower", "-10.5", "--port", "/dev/no-such-port"}, recorded);
  EXPECT_EQ(r.exit, kExitFailed);
  EXPECT_EQ(r.out.rfind("{\"ok\":false,\"message\":\"cannot open /dev/no-such-port", 0), 0u)
      << r.out;
  EXPECT_NE(r.out.find("\"detail\":\"端口已打开（/dev/no-such-port "
                       "不存在，请检查设备是否已连接）\",\"values\":{}}"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(recorded.calls, 0);
}

TEST(DispatchTest, ArgumentsReachTheVerbWithoutConnectionOptions) {
  Recorded recorded;
  // TCP needs no open port: the verb runs, and its outcome is printed.
  const RunResult r = RunWith({"demo", "set-limits", "--temp-lower", "-10.5", "--tcp",
                               "127.0.0.1:9", "--delay", "0", "--address", "3"},
                              recorded);
  EXPECT_EQ(r.exit, kExitOk) << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{\"lower\":-10.5}}\n");
  pages::Args expected;
  expected.Set("temp-lower", -10.5);
  EXPECT_EQ(recorded.args, expected);
}

TEST(DispatchTest, PlainWordFillsThePositionalField) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"demo", "pick", "b", "--tcp", "127.0.0.1:9", "--delay", "0"},
        std::vector<std::string>{"demo", "pick", "--what", "b", "--tcp", "127.0.0.1:9"}}) {
    Recorded recorded;
    const RunResult r = RunWith(words, recorded);
    EXPECT_EQ(r.exit, kExitOk) << r.err;
    pages::Args expected;
    expected.Set("what", std::string("b"));
    EXPECT_EQ(recorded.args, expected);
  }
  Recorded recorded;
  const RunResult help = RunWith({"demo", "pick", "--help"}, recorded);
  EXPECT_NE(help.out.find("<what>"), std::string::npos) << help.out;
}

TEST(DispatchTest, AFlagFieldIsABareOptionThatSwitchesItOn) {
  for (const bool given : {true, false}) {
    std::vector<std::string> words{"demo", "flagged", "--tcp", "127.0.0.1:9", "--delay", "0"};
    if (given) words.insert(words.begin() + 2, "--all");
    Recorded recorded;
    const RunResult r = RunWith(words, recorded);
    EXPECT_EQ(r.exit, kExitOk) << r.err;
    pages::Args expected;
    expected.Set("all", given);
    EXPECT_EQ(recorded.args, expected);
  }
  Recorded recorded;
  const RunResult valued =
      RunWith({"demo", "flagged", "--all=on", "--tcp", "127.0.0.1:9"}, recorded);
  EXPECT_EQ(valued.exit, kExitUsage);
  EXPECT_NE(valued.out.find("--all takes no value"), std::string::npos) << valued.out;
  const RunResult help = RunWith({"demo", "flagged", "--help"}, recorded);
  EXPECT_NE(help.out.find("--all                    every one (flag)\n"), std::string::npos)
      << help.out;
  EXPECT_EQ(recorded.calls, 0);
}

TEST(DispatchTest, ArgumentParseErrorInsideAVerbIsABadArgument) {
  Recorded recorded;
  const RunResult r =
      RunWith({"demo", "throws", "--n", "many", "--tcp", "127.0.0.1:9", "--delay", "0"}, recorded);
  EXPECT_EQ(r.exit, kExitUsage);
  EXPECT_NE(r.out.find("demo throws"), std::string::npos);
}

TEST(HelpTest, ListsEveryVerbWithItsArgumentsAndRaw) {
  Recorded recorded;
  const RunResult all = RunWith({"--help"}, recorded);
  EXPECT_EQ(all.exit, kExitOk);
  for (const char* text : {"demo", "set-limits", "--temp-lower", "lower temperature limit",
                           "(optional)", "throws", "raw", "--append", "--port PATH"}) {
    EXPECT_NE(all.out.find(text), std::string::npos) << text;
  }
  const RunResult page = RunWith({"demo", "--help"}, recorded);
  EXPECT_EQ(page.exit, kExitOk);
  EXPECT_NE(page.out.find("set-limits"), std::string::npos);
  EXPECT_EQ(page.out.find("--append"), std::string::npos);
  const RunResult verb = RunWith({"demo", "set-limits", "--help"}, recorded);
  EXPECT_EQ(verb.exit, kExitOk);
  EXPECT_NE(verb.out.find("--label"), std::string::npos);
  EXPECT_EQ(verb.out.find("throws"), std::string::npos);
}

// ---- raw: which check a reply fails ----

struct DescribeCase {
  std::string name;
  devlink::Bytes request;
  devlink::Bytes reply;
  std::string text;
};

class DescribeTest : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(DescribeTest, NamesFamilyAndCheck) {
  const DescribeCase& c = GetParam();
  const auto family = RequestFamily(c.request, std::nullopt);
  ASSERT_TRUE(family.has_value());
  EXPECT_EQ(DescribeReplyCheck(c.request, c.reply, *family), c.text);
}

const devlink::Bytes kVersionRead = devlink::BuildSumFrame(1, 0x0C, 0xAA);
const devlink::Bytes kRegisterRead = devlink::BuildModbusRead(1, 0x0067, 1);
const devlink::Bytes kChillerRead = devlink::BuildXorFrame(devlink::kXorRead, 0x01);

INSTANTIATE_TEST_SUITE_P(
    Replies, DescribeTest,
    ::testing::Values(
        DescribeCase{"sum_ok", kVersionRead, {0x3C, 0x01, 0x0C, 0x00, 0x00, 0x66, 0xAF},
                     "SumFrame ok"},
        DescribeCase{"sum_end", kVersionRead, {0x3C, 0x01, 0x0C, 0x00, 0x00, 0x67, 0xB0},
                     "SumFrame fails: end marker"},
        DescribeCase{"sum_short", kVersionRead, {0x3C, 0x01}, "SumFrame fails: length"},
        DescribeCase{"modbus_ok", kRegisterRead, {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B},
                     "ModbusFrame ok"},
        DescribeCase{"modbus_exception", kRegisterRead, {0x01, 0x83, 0x02, 0xC0, 0xF1},
                     "ModbusFrame fails: echoed command"},
        DescribeCase{"xor_kind", kChillerRead, {0x7B, 0x81, 0x01, 0x00, 0x00, 0xFB},
                     "XorFrame fails: kind byte"}),
    [](const auto& info) { return info.param.name; });

TEST(RequestFamilyTest, FromAppendedCheckStartByteOrCrc) {
  using devlink::FrameFamily;
  EXPECT_EQ(RequestFamily(kVersionRead, std::nullopt), FrameFamily::Sum);
  EXPECT_EQ(RequestFamily(kChillerRead, std::nullopt), FrameFamily::Xor);
  EXPECT_EQ(RequestFamily(kRegisterRead, std::nullopt), FrameFamily::Modbus);
  EXPECT_EQ(RequestFamily(devlink::Bytes{0x01, 0x03, 0x00, 0x00}, std::nullopt), std::nullopt);
  EXPECT_EQ(RequestFamily(devlink::Bytes{0x25}, FrameFamily::Xor), FrameFamily::Xor);
}

}  // namespace
}  // namespace cli
