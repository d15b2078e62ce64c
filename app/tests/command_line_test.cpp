#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/variants.h"

namespace app {
namespace {

struct LineCase {
  const char* text;
  int variant;
  const char* label;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class VariantAndLabelTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(VariantAndLabelTest, ReadsTheFirstTwoWords) {
  const VariantAndLabel parsed = ParseVariantAndLabel(GetParam().text);
  EXPECT_EQ(parsed.variant, GetParam().variant);
  EXPECT_EQ(parsed.label, GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, VariantAndLabelTest,
    ::testing::Values(LineCase{"", 0, ""},                         //
                      LineCase{"   ", 0, ""},                      //
                      LineCase{"25 X", 10, "X"},                   //
                      LineCase{"-7", -2, ""},                      //
                      LineCase{"abc", 0, ""},                      //
                      LineCase{"   3   Lab   third ", 3, "Lab"},   //
                      LineCase{"10", 10, ""},                      //
                      LineCase{"-2", -2, ""},                      //
                      LineCase{"11", 10, ""},                      //
                      LineCase{"-3", -2, ""},                      //
                      LineCase{"+5x Lab", 5, "Lab"},               // conversion stops at 'x'
                      LineCase{"6abc", 6, ""},                     //
                      LineCase{"- 4", 0, "4"},                     // a lone sign has no digits
                      LineCase{"99999999999999999999999", 10, ""},  // saturates, then clamps
                      LineCase{"-99999999999999999999999", -2, ""},
                      LineCase{"1\tTab label", 1, "Tab"},
                      LineCase{"2 实验室", 2, "实验室"}));

TEST(ParseArguments, OptionsAreTakenOutBeforeTheWordsAreRead) {
  const CommandLine line = ParseArguments({"--port", "/dev/pts/7", "1", "--open", "Lab", "x"});
  EXPECT_TRUE(line.error.empty()) << line.error;
  EXPECT_EQ(line.variant, 1);
  EXPECT_EQ(line.label, "Lab");
  EXPECT_EQ(line.port, "/dev/pts/7");
  EXPECT_TRUE(line.openPort);
  EXPECT_FALSE(line.help);
}

TEST(ParseArguments, OptionValueAfterAnEqualsSign) {
  const CommandLine line = ParseArguments(
      {"3", "--demo-shots=/tmp/shots", "--port=/dev/ttyUSB0", "--archive", "/tmp/a.sqlite3"});
  EXPECT_TRUE(line.error.empty()) << line.error;
  EXPECT_EQ(line.variant, 3);
  EXPECT_EQ(line.label, "");
  EXPECT_EQ(line.demoShots, "/tmp/shots");
  EXPECT_EQ(line.port, "/dev/ttyUSB0");
  EXPECT_EQ(line.archive, "/tmp/a.sqlite3");
}

TEST(ParseArguments, FastModeFlag) {
  EXPECT_TRUE(ParseArguments({"1", "--fast"}).fast);
  EXPECT_FALSE(ParseArguments({"1"}).fast);
  EXPECT_FALSE(ParseArguments({"--fast=yes"}).error.empty());
}

TEST(ParseArguments, HelpAlone) {
  const CommandLine line = ParseArguments({"--help"});
  EXPECT_TRUE(line.help);
  EXPECT_EQ(line.variant, 0);
}

TEST(ParseArguments, SingleDashIsAWordNotAnOption) {
  EXPECT_EQ(ParseArguments({"-7", "L"}).variant, -2);
  EXPECT_EQ(ParseArguments({"-7", "L"}).label, "L");
}

TEST(ParseArguments, DoubleDashEndsTheOptions) {
  const CommandLine line = ParseArguments({"--", "--open"});
  EXPECT_TRUE(line.error.empty());
  EXPECT_FALSE(line.openPort);
  EXPECT_EQ(line.variant, 0);  // "--open" is the first word now: no digits
}

TEST(ParseArguments, BadOptionsAreReported) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"1", "--port"}, {"--port="}, {"--help=yes"}, {"--demo-shots"},
           {"--archive"}, {"--archive="}}) {
    SCOPED_TRACE(args.front());
    EXPECT_FALSE(ParseArguments(args).error.empty());
  }
}

TEST(ParseArguments, WordsAreJoinedWithBlanksAsOneCommandLine) {
  // A word holding a blank splits like the command line text would.
  const CommandLine line = ParseArguments({"4 Lab", "third"});
  EXPECT_EQ(line.variant, 4);
  EXPECT_EQ(line.label, "Lab");
}

}  // namespace
}  // namespace app
