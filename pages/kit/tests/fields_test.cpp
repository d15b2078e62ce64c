// Field declarations: what each kind takes, what it refuses and with which message, and the
// typed values a command receives.
#include "pages/kit/fields.h"

#include <gtest/gtest.h>

#include "link/codecs.h"
#include "pages/kit/command_table.h"
#include "link/testing/scripted_channel.h"

namespace pages {
namespace {

struct FieldCase {
  const char* name;
  Field field;
  const char* text;
  std::optional<Value> value;  // nothing: refused
  const char* refusal = "";
};

class FieldKinds : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldKinds, TakeOrRefuse) {
  const FieldCase& c = GetParam();
  const auto parsed = ParseField(c.field, c.text);
  if (c.value) {
    ASSERT_TRUE(std::holds_alternative<Value>(parsed)) << std::get<Outcome>(parsed).message;
    EXPECT_EQ(std::get<Value>(parsed), *c.value);
  } else {
    ASSERT_TRUE(std::holds_alternative<Outcome>(parsed));
    const Outcome& refusal = std::get<Outcome>(parsed);
    EXPECT_FALSE(refusal.ok);
    EXPECT_EQ(refusal.message, c.refusal);
    EXPECT_EQ(refusal.field, c.field.name);
  }
}

const Field kPort = Integer("server-port", "port", 0, 65535, "端口号范围为0-65535");
const Field kLimit = Number("temp-lower", "limit");
const Field kSwitch = Switch("temp", "switch");
const Field kUnit = Choice("unit", "unit", {"hours", "minutes"});
const Field kPlate = Text("plate", "plate", 9);
const Field kSsid = Text("ssid", "ssid", 6).InCodePage(devlink::kCodePageUtf8);
const Field kCard = HexDigits("card-id", "card", 8, "卡片id输入有误，请输入正确卡片id！");
const Field kIp = Ipv4("ip", "address", "IP地址输入有误");

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldKinds,
    ::testing::Values(
        FieldCase{"int", kPort, "11111", Value{int64_t{11111}}},
        FieldCase{"int_blanks_sign", kPort, " +80 ", Value{int64_t{80}}},
        FieldCase{"int_letters", kPort, "abc", std::nullopt, "请键入一个整数。"},
        FieldCase{"int_trailing", kPort, "80abc", std::nullopt, "请键入一个整数。"},
        FieldCase{"int_empty", kPort, "", std::nullopt, "请键入一个整数。"},
        FieldCase{"int_fraction", kPort, "80.5", std::nullopt, "请键入一个整数。"},
        FieldCase{"int_above", kPort, "65536", std::nullopt, "端口号范围为0-65535"},
        FieldCase{"int_below", kPort, "-1", std::nullopt, "端口号范围为0-65535"},
        FieldCase{"int_huge", kPort, "99999999999999999999", std::nullopt, "请键入一个整数。"},
        FieldCase{"number", kLimit, "-10.5", Value{-10.5}},
        FieldCase{"number_exponent", kLimit, "1e2", Value{100.0}},
        FieldCase{"number_overflow", kLimit, "1e400", std::nullopt, "请键入一个数。"},
        FieldCase{"number_inf", kLimit, "inf", std::nullopt, "请键入一个数。"},
        FieldCase{"number_nan", kLimit, "nan", std::nullopt, "请键入一个数。"},
        FieldCase{"number_comma", kLimit, "1,5", std::nullopt, "请键入一个数。"},
        FieldCase{"switch_on", kSwitch, "on", Value{true}},
        FieldCase{"switch_one", kSwitch, "1", Value{true}},
        FieldCase{"switch_false", kSwitch, "false", Value{false}},
        FieldCase{"switch_maybe", kSwitch, "maybe", std::nullopt, "--temp 应为 on 或 off"},
        FieldCase{"choice", kUnit, "minutes", Value{std::string("minutes")}},
        FieldCase{"choice_other", kUnit, "days", std::nullopt, "--unit 应为 hours 或 minutes"},
        FieldCase{"text_gbk", kPlate, "粤B12345", Value{std::string("粤B12345")}},
        // At most 9 bytes in the device code page, where "粤" takes two.
        FieldCase{"text_too_long", kPlate, "粤B1234567", std::nullopt, "输入的文字过长！"},
        FieldCase{"text_not_encodable", kPlate, "🙂", std::nullopt,
                  "输入的文字含有无法发送的字符！"},
        // A UTF-8 field carries what GBK cannot, and counts its limit in UTF-8 bytes.
        FieldCase{"utf8_text", kSsid, "🙂A", Value{std::string("🙂A")}},
        FieldCase{"utf8_too_long", kSsid, "网络名", std::nullopt, "输入的文字过长！"},
        FieldCase{"utf8_malformed", kSsid, "A\xC9", std::nullopt, "输入的文字含有无法发送的字符！"},
        FieldCase{"hex", kCard, "0A0b0C0d", Value{std::string("0A0b0C0d")}},
        FieldCase{"hex_short", kCard, "0A0B0C0", std::nullopt, "卡片id输入有误，请输入正确卡片id！"},
        FieldCase{"hex_letter", kCard, "0A0B0C0G", std::nullopt,
                  "卡片id输入有误，请输入正确卡片id！"},
        FieldCase{"ip", kIp, "127.0.0.1", Value{std::string("127.0.0.1")}},
        FieldCase{"ip_part", kIp, "256.0.0.1", std::nullopt, "IP地址输入有误"},
        FieldCase{"ip_three", kIp, "10.0.1", std::nullopt, "IP地址输入有误"}),
    [](const auto& info) { return std::string(info.param.name); });

// The typed fields that keep malformed values from an instrument, one table per kind.
const Field kNumber = PhoneNumber("number", "phone", 14);
const Field kMac = MacAddress("mac", "mac");
const Field kMacOrNone = MacAddress("mac", "mac").EmptyAllowed();
const Field kAt = DateTime("at", "time", "时间无效！");
const Field kInterval = DivisorOrMultiple("interval", "minutes", 60, 9999, "间隔");
const Field kRows = Text("row", "rows").Repeatable();
constexpr const char* kDigitsOnly = "号码只能由数字组成！";
constexpr const char* kBadMac = "MAC 地址格式错误";
constexpr const char* kBadText = "输入的文字含有无法发送的字符！";
auto Named = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(
    PhoneNumbers, FieldKinds,
    ::testing::Values(FieldCase{"digits", kNumber, "13800138000", Value{std::string("13800138000")}},
                      FieldCase{"empty_clears", kNumber, "", Value{std::string()}},
                      FieldCase{"letters", kNumber, "abc", std::nullopt, kDigitsOnly},
                      FieldCase{"plus", kNumber, "+8613800138000", std::nullopt, kDigitsOnly},
                      FieldCase{"blanks", kNumber, "138 0013 8000", std::nullopt, kDigitsOnly},
                      FieldCase{"mixed", kNumber, "12a4", std::nullopt, kDigitsOnly},
                      FieldCase{"fifteen", kNumber, "123456789012345", std::nullopt, "输入的文字过长！"}),
    Named);

INSTANTIATE_TEST_SUITE_P(
    MacAddresses, FieldKinds,
    ::testing::Values(
        FieldCase{"upper", kMac, "00:1A:7D:DA:71:13", Value{std::string("00:1A:7D:DA:71:13")}},
        FieldCase{"lower_blanks", kMac, " 00:1a:7d:da:71:13 ", Value{std::string("00:1a:7d:da:71:13")}},
        FieldCase{"g_digit", kMac, "00:1A:7D:DA:71:1G", std::nullopt, kBadMac},
        FieldCase{"letters", kMac, "zz:zz:zz:zz:zz:zz", std::nullopt, kBadMac},
        FieldCase{"five_pairs", kMac, "00:1A:7D:DA:71", std::nullopt, kBadMac},
        FieldCase{"seven_pairs", kMac, "00:1A:7D:DA:71:13:14", std::nullopt, kBadMac},
        FieldCase{"dashes", kMac, "00-1A-7D-DA-71-13", Value{std::string("00-1A-7D-DA-71-13")}},
        FieldCase{"mixed", kMac, "00-1A:7D-DA:71-13", std::nullopt, kBadMac},
        FieldCase{"blanks", kMac, "00 1A 7D DA 71 13", std::nullopt, kBadMac},
        FieldCase{"single_digit", kMac, "0:1A:7D:DA:71:13:", std::nullopt, kBadMac},
        FieldCase{"empty", kMac, "", std::nullopt, kBadMac},
        FieldCase{"empty_allowed", kMacOrNone, "", Value{std::string()}}),
    Named);

INSTANTIATE_TEST_SUITE_P(
    DateTimes, FieldKinds,
    ::testing::Values(
        FieldCase{"leap_day", kAt, "2024-02-29 07:08:09", Value{std::string("2024-02-29 07:08:09")}},
        FieldCase{"short_parts", kAt, "2024-1-2 3:4:5", Value{std::string("2024-1-2 3:4:5")}},
        FieldCase{"century_leap", kAt, "2000-02-29 23:59:59", Value{std::string("2000-02-29 23:59:59")}},
        FieldCase{"february_30", kAt, "2024-02-30 07:08:09", std::nullopt, "时间无效！"},
        FieldCase{"not_leap", kAt, "2023-02-29 00:00:00", std::nullopt, "时间无效！"},
        FieldCase{"century", kAt, "1900-02-29 00:00:00", std::nullopt, "时间无效！"},
        FieldCase{"april_31", kAt, "2024-04-31 00:00:00", std::nullopt, "时间无效！"},
        FieldCase{"month_13", kAt, "2024-13-01 00:00:00", std::nullopt, "时间无效！"},
        FieldCase{"day_0", kAt, "2024-01-00 00:00:00", std::nullopt, "时间无效！"},
        FieldCase{"hour_24", kAt, "2024-01-01 24:00:00", std::nullopt, "时间无效！"},
        FieldCase{"second_60", kAt, "2024-01-01 23:59:60", std::nullopt, "时间无效！"},
        FieldCase{"no_time", kAt, "2024-01-01", std::nullopt, "时间无效！"},
        FieldCase{"trailing", kAt, "2024-01-01 07:08:09x", std::nullopt, "时间无效！"},
        FieldCase{"three_digit_part", kAt, "2024-001-01 07:08:09", std::nullopt, "时间无效！"},
        FieldCase{"two_digit_year", kAt, "24-01-01 07:08:09", std::nullopt, "时间无效！"}),
    Named);

INSTANTIATE_TEST_SUITE_P(
    DivisorsOrMultiples, FieldKinds,
    ::testing::Values(FieldCase{"one", kInterval, "1", Value{int64_t{1}}},
                      FieldCase{"divisor", kInterval, "15", Value{int64_t{15}}},
                      FieldCase{"base", kInterval, "60", Value{int64_t{60}}},
                      FieldCase{"multiple", kInterval, "120", Value{int64_t{120}}},
                      FieldCase{"seven", kInterval, "7", std::nullopt, "间隔"},
                      FieldCase{"zero", kInterval, "0", std::nullopt, "间隔"},
                      FieldCase{"ninety", kInterval, "90", std::nullopt, "间隔"},
                      FieldCase{"negative", kInterval, "-60", std::nullopt, "间隔"},
                      FieldCase{"above_max", kInterval, "10020", std::nullopt, "间隔"},
                      FieldCase{"exponent", kInterval, "6e1", std::nullopt, "间隔"},
                      FieldCase{"letters", kInterval, "abc", std::nullopt, "间隔"}),
    Named);

INSTANTIATE_TEST_SUITE_P(
    DeviceTexts, FieldKinds,
    ::testing::Values(FieldCase{"soh", kPlate, "a\x01b", std::nullopt, kBadText},
                      FieldCase{"newline", kPlate, "a\nb", std::nullopt, kBadText},
                      FieldCase{"tab", kSsid, "a\tb", std::nullopt, kBadText},
                      FieldCase{"delete", kSsid, "a\x7f", std::nullopt, kBadText},
                      // A repeated option's texts arrive joined by newlines.
                      FieldCase{"repeated", kRows, "1:a\n2:b", Value{std::string("1:a\n2:b")}},
                      FieldCase{"repeated_soh", kRows, "1:a\n2:\x01", std::nullopt,
                                kBadText}),
    Named);

TEST(TypedTexts, SnCodesTravelAsFourBytesOrNotAtAll) {
  using Code = std::optional<std::array<uint8_t, 4>>;
  EXPECT_EQ(ParseSnCode("12AB34567"), (Code{{0x12, 0xAB, 0x87, 0x07}}));
  EXPECT_EQ(ParseSnCode("ffff65535"), (Code{{0xFF, 0xFF, 0xFF, 0xFF}}));
  for (const char* bad : {"ABCD99999", "ABCD65536", "ZZZZZZZZZ", "12AB3456", "12AB345678",
                          "12AB-4567", "12AB 4567", "+2AB34567"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseSnCode(bad).has_value());
  }
}

TEST(TypedTexts, HelpTellsTheRangeAFieldTakes) {
  EXPECT_EQ(DescribeField(kInterval), "integer 1..9999 dividing 60 or a multiple of it");
  EXPECT_EQ(DescribeField(Integer("n", "", INT32_MIN, INT32_MAX)), "integer");
  EXPECT_EQ(DescribeField(Text("t", "").Takes("number -300..1000")), "number -300..1000");
  EXPECT_EQ(DescribeField(kNumber), "digits, at most 14");
}

TEST(ParseArgs, FallbacksMissingFieldsAndTypedValues) {
  const std::vector<Field> fields{Integer("channel", "channel", 1, 32, "通道号范围为1-32"),
                                  Switch("sms", "sms").Optional("off"),
                                  Text("domain", "domain").Optional()};
  auto parsed = ParseArgs(fields, {{"channel", "5"}});
  ASSERT_TRUE(std::holds_alternative<Args>(parsed));
  const Args& args = std::get<Args>(parsed);
  EXPECT_EQ(args.Int("channel"), 5);
  EXPECT_FALSE(args.Switch("sms"));
  EXPECT_FALSE(args.Has("domain"));
  EXPECT_THROW(args.Number("channel"), std::bad_variant_access);
  EXPECT_THROW(args.Int("domain"), std::logic_error);

  parsed = ParseArgs(fields, {{"channel", "33"}});
  ASSERT_TRUE(std::holds_alternative<Outcome>(parsed));
  EXPECT_EQ(std::get<Outcome>(parsed).message, "通道号范围为1-32");
  parsed = ParseArgs(fields, {});
  ASSERT_TRUE(std::holds_alternative<Outcome>(parsed));
  EXPECT_EQ(std::get<Outcome>(parsed).field, "channel");
}

TEST(ParseArgs, AFlagIsASwitchThatIsOffUnlessGiven) {
  const std::vector<Field> fields{Flag("all", "adjust all")};
  EXPECT_TRUE(fields[0].flag);
  EXPECT_FALSE(fields[0].required);
  EXPECT_EQ(DescribeField(fields[0]), "flag");
  auto parsed = ParseArgs(fields, {});
  ASSERT_TRUE(std::holds_alternative<Args>(parsed));
  EXPECT_FALSE(std::get<Args>(parsed).Switch("all"));
  parsed = ParseArgs(fields, {{"all", "on"}});
  ASSERT_TRUE(std::holds_alternative<Args>(parsed));
  EXPECT_TRUE(std::get<Args>(parsed).Switch("all"));
}

TEST(RunVerb, RefusedFieldNeverReachesTheCommand) {
  devlink::testing::ScriptedChannel channel;
  int runs = 0;
  const CommandDef def = Verb("write", "write", {Number("value", "value")},
                              [&](devlink::Channel&, const Args& args) {
                                ++runs;
                                return Outcome::Success("ok").With("value", args.Number("value"));
                              });
  const Outcome refused = RunVerb(def, channel, {{"value", "x"}});
  EXPECT_TRUE(refused.Refusal());
  EXPECT_EQ(runs, 0);
  const Outcome done = RunVerb(def, channel, {{"value", "2.5"}});
  EXPECT_TRUE(done.ok);
  ASSERT_EQ(done.values.size(), 1u);
  EXPECT_EQ(std::get<double>(done.values[0].second), 2.5);
}

TEST(TextHelpers, NumbersAsAnEditReadsThem) {
  EXPECT_EQ(LeadingInteger("80abc"), 80);
  EXPECT_EQ(LeadingInteger("abc"), 0);
  EXPECT_EQ(LeadingInteger(" -12x"), -12);
  EXPECT_EQ(ParseHexDigits("0a0B"), 0x0A0Bu);
  EXPECT_EQ(ParseHexDigits("123456789"), std::nullopt);
  EXPECT_EQ(FormatIpv4({192, 168, 1, 10}), "192.168.1.10");
}

TEST(TextHelpers, SplitListKeepsEmptyPartsAndGivesNoneForNoText) {
  using Parts = std::vector<std::string_view>;
  EXPECT_EQ(SplitList("1,2,3", ','), (Parts{"1", "2", "3"}));
  EXPECT_EQ(SplitList("1,,3,", ','), (Parts{"1", "", "3", ""}));
  EXPECT_EQ(SplitList("25:24.6", ','), (Parts{"25:24.6"}));
  EXPECT_TRUE(SplitList("", ',').empty());
}

}  // namespace
}  // namespace pages
