#include "app/panel_rules.h"

#include <gtest/gtest.h>

namespace app {
namespace {

using devlink::AddressingMode;

struct AddressCase {
  const char* text;
  AddressingMode mode;
  std::optional<int32_t> address;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
  *os << '"' << c.text << "\" mode " << static_cast<int>(c.mode);
}

class AddressFieldTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressFieldTest, AcceptsEmptyOrOneTo255) {
  EXPECT_EQ(AddressFromField(GetParam().text, GetParam().mode), GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressFieldTest,
    ::testing::Values(AddressCase{"0", AddressingMode::Multi, std::nullopt},
                      AddressCase{"256", AddressingMode::Multi, std::nullopt},
                      AddressCase{"1000", AddressingMode::Multi, std::nullopt},
                      AddressCase{"00000000000000000000001000", AddressingMode::Multi, std::nullopt},
                      AddressCase{"99999999999999999999", AddressingMode::Multi, std::nullopt},
                      AddressCase{"-1", AddressingMode::Multi, std::nullopt},
                      AddressCase{"1a", AddressingMode::Multi, std::nullopt},
                      AddressCase{"0", AddressingMode::Single, std::nullopt},
                      AddressCase{"", AddressingMode::Multi, 0},
                      AddressCase{"1", AddressingMode::Multi, 1},
                      AddressCase{"255", AddressingMode::Multi, 255},
                      AddressCase{"007", AddressingMode::Multi, 7},
                      // Single-device and Bluetooth frames carry address 0 whatever the field.
                      AddressCase{"7", AddressingMode::Single, 0},
                      AddressCase{"7", AddressingMode::Bluetooth, 0},
                      AddressCase{"", AddressingMode::Bluetooth, 0}));

struct IpCase {
  const char* ip;
  const char* port;
  const char* storedIp;
  int32_t storedPort;
  bool warn;
};

void PrintTo(const IpCase& c, std::ostream* os) { *os << '"' << c.ip << ":" << c.port << '"'; }

class IpSettingsTest : public ::testing::TestWithParam<IpCase> {};

TEST_P(IpSettingsTest, StoresTheValuesAndWarnsOnEmptyOnes) {
  const IpSettings settings = ReadIpSettings(GetParam().ip, GetParam().port);
  EXPECT_EQ(settings.ip, GetParam().storedIp);
  EXPECT_EQ(settings.port, GetParam().storedPort);
  EXPECT_EQ(settings.warn, GetParam().warn);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, IpSettingsTest,
    ::testing::Values(IpCase{"10.10.100.254", "10001", "10.10.100.254", 10001, false},
                      IpCase{"0.0.0.0", "10001", "0.0.0.0", 10001, true},
                      IpCase{"127.0.0.1", "0", "127.0.0.1", 0, true},
                      IpCase{"127.0.0.1", "", "127.0.0.1", 0, true},
                      IpCase{"127.0.0.1", "8o", "127.0.0.1", 0, true},
                      IpCase{"127.0.0.1", "70000", "127.0.0.1", 0, true},
                      IpCase{"127.0.0.1", "65535", "127.0.0.1", 65535, false},
                      IpCase{"", "80", "0.0.0.0", 80, true},
                      IpCase{"192.168..5", "80", "192.168.0.5", 80, false},
                      IpCase{"192.168.1", "80", "192.168.1.0", 80, false},
                      IpCase{"010.001.000.009", "80", "10.1.0.9", 80, false}));

std::tm Time(int year, int month, int day, int hour, int minute, int second, int weekday) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_wday = weekday;
  return t;
}

TEST(ClockText, FixedWidthAsctimeForm) {
  const std::tm t = Time(2026, 12, 7, 1, 9, 22, 1);
  EXPECT_EQ(AsctimeText(t), "Mon Dec  7 01:09:22 2026\n");
  EXPECT_EQ(AsctimeText(t).size(), 25u);
  EXPECT_EQ(ClockFieldText(t), "Dec  7 01:09:22 2026");
  EXPECT_EQ(ClockFieldText(Time(2027, 1, 17, 23, 59, 5, 0)), "Jan 17 23:59:05 2027");
  EXPECT_EQ(AsctimeText(Time(2025, 7, 31, 0, 0, 0, 4)), "Thu Jul 31 00:00:00 2025\n");
}

TEST(ClockText, EnglishNamesWhateverTheLocale) {
  std::setlocale(LC_TIME, "C.UTF-8");
  EXPECT_EQ(AsctimeText(Time(2026, 9, 5, 12, 0, 0, 6)).substr(0, 7), "Sat Sep");
}

TEST(PortPath, ListedNameTypedPathOrDeviceName) {
  const std::vector<devlink::PortEntry> entries = {{"ttyUSB0", "/dev/ttyUSB0", 0},
                                                   {"ttyS1", "/dev/ttyS1", 1}};
  EXPECT_EQ(PortPathFor("ttyS1", entries), "/dev/ttyS1");
  EXPECT_EQ(PortPathFor("/dev/pts/4", entries), "/dev/pts/4");
  EXPECT_EQ(PortPathFor("ttyACM3", entries), "/dev/ttyACM3");
}

}  // namespace
}  // namespace app
