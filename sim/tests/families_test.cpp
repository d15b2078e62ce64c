// Replies of the simulated instrument, byte for byte: version, clock, SN, Modbus registers and
// the chiller's tagged values. What is written is read back.
#include <gtest/gtest.h>

#include <ctime>

#include "sim/families/chiller.h"
#include "sim/families/clock.h"
#include "sim/families/register_map.h"
#include "sim/families/serial_number.h"
#include "sim/families/version.h"
#include "sim/tests/wire.h"

namespace sim {
namespace {

using testing::SumRequest;
using testing::WithCrc;
using testing::WithXor;

// '<', address 01, command, status, N, payload, 'f', sum.
Bytes SumReply(const Bytes& body) { return testing::SumFrame(0x3C, body); }

TEST(VersionTest, ReplyCarriesBothVersionTextsInFifteenBytes) {
  Simulator simulator;
  EXPECT_EQ(simulator.Answer(SumRequest({0x00, 0x0C, 0xAA, 0x00})),
            (Bytes{0x3C, 0x01, 0x0C, 0xAA, 0x08, '1', '.', '0', '2', '2', '.', '1', '5', 0x66,
                   0xE8}));
}

TEST(VersionTest, VersionsComeFromTheStateAndArePaddedToFourCharacters) {
  Simulator simulator;
  simulator.Device().State<VersionState>() = {"3.4", "10.05"};
  Bytes reply = simulator.Answer(SumRequest({0x00, 0x0C, 0xAA, 0x00}));
  ASSERT_EQ(reply.size(), 15u);
  EXPECT_EQ(std::string(reply.begin() + 5, reply.begin() + 13), "3.4010.0");
}

// A host clock frozen at a known local time, so replies do not depend on when the test runs.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator_.Device().State<ClockState>().hostNow = [this] { return host_; };
  }
  Bytes Read() { return simulator_.Answer(SumRequest({0x01, 0x08, 0xCC, 0x00})); }
  Bytes Set(const Bytes& bcd) {
    Bytes body{0x00, 0x08, 0xBB, static_cast<uint8_t>(bcd.size())};
    for (uint8_t b : bcd) body.push_back(b);
    return simulator_.Answer(SumRequest(body));
  }

  std::time_t host_ = LocalTime(2024, 3, 15, 10, 20, 30);
  Simulator simulator_;
};

TEST_F(ClockTest, ReadGivesTheLocalTimeAsBcd) {
  EXPECT_EQ(Read(), SumReply({0x01, 0x08, 0xCC, 0x06, 0x24, 0x03, 0x15, 0x10, 0x20, 0x30}));
}

TEST_F(ClockTest, SetTimeIsAcknowledgedAndTheClockRunsOnFromIt) {
  EXPECT_EQ(Set({0x26, 0x12, 0x07, 0x01, 0x09, 0x22}),
            SumReply({0x01, 0x08, 0xBB, 0x01, 0x55}));
  EXPECT_EQ(Read(), SumReply({0x01, 0x08, 0xCC, 0x06, 0x26, 0x12, 0x07, 0x01, 0x09, 0x22}));
  host_ += 61;
  EXPECT_EQ(Read(), SumReply({0x01, 0x08, 0xCC, 0x06, 0x26, 0x12, 0x07, 0x01, 0x10, 0x23}));
}

TEST_F(ClockTest, LeapDayIsAccepted) {
  EXPECT_EQ(Set({0x28, 0x02, 0x29, 0x23, 0x59, 0x59}).at(5), 0x55);
  host_ += 1;
  EXPECT_EQ(Read(), SumReply({0x01, 0x08, 0xCC, 0x06, 0x28, 0x03, 0x01, 0x00, 0x00, 0x00}));
}

// Impossible times are refused (0x00 instead of 'U') and leave the clock as it was.
TEST_F(ClockTest, ImpossibleTimesAreRefusedAndChangeNothing) {
  const Bytes before = Read();
  for (const Bytes& bcd : {Bytes{0x26, 0x13, 0x01, 0x00, 0x00, 0x00},    // month 13
                           Bytes{0x25, 0x02, 0x29, 0x00, 0x00, 0x00},    // 29 February 2025
                           Bytes{0x26, 0x04, 0x31, 0x00, 0x00, 0x00},    // 31 April
                           Bytes{0x26, 0x01, 0x00, 0x00, 0x00, 0x00},    // day 0
                           Bytes{0x26, 0x01, 0x01, 0x24, 0x00, 0x00},    // hour 24
                           Bytes{0x26, 0x01, 0x01, 0x00, 0x60, 0x00},    // minute 60
                           Bytes{0x26, 0x01, 0x1A, 0x00, 0x00, 0x00},    // not a BCD digit
                           Bytes{0x26, 0x01, 0x01, 0x00, 0x00}}) {       // five fields
    Bytes reply = Set(bcd);
    EXPECT_EQ(reply, SumReply({0x01, 0x08, 0xBB, 0x01, 0x00})) << ::testing::PrintToString(bcd);
  }
  EXPECT_EQ(Read(), before);
}

TEST_F(ClockTest, ReplyCarriesTheInstrumentsOwnAddress) {
  simulator_.Device().address = 42;
  Bytes reply = simulator_.Answer(SumRequest({0x00, 0x08, 0xCC, 0x00}));
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(reply[1], 42);
}

TEST(SerialNumberTest, ReadGivesDateCodeAndSerialHighByteFirst) {
  Simulator simulator;
  simulator.Device().State<SerialNumberState>() = {true, 0x7EAC, 0x0001};
  EXPECT_EQ(simulator.Answer(SumRequest({0x00, 0x32, 0xFF, 0x00})),
            SumReply({0x01, 0x32, 0xFF, 0x06, 0x7E, 0xAC, 0x00, 0x01, 0x00, 0x00}));
}

TEST(SerialNumberTest, InstrumentWithoutAnSnAnswersFfFf) {
  Simulator simulator;
  simulator.Device().State<SerialNumberState>().configured = false;
  Bytes reply = simulator.Answer(SumRequest({0x00, 0x32, 0xFF, 0x00}));
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(reply[9], 0xFF);
  EXPECT_EQ(reply[10], 0xFF);
}

TEST(SerialNumberTest, WrittenSnIsAcknowledgedAndReadBack) {
  Simulator simulator;
  simulator.Device().State<SerialNumberState>().configured = false;
  // December 2026 (0x7EAC) would be the usual case; month 16 gives 7E B0.
  EXPECT_EQ(simulator.Answer(SumRequest({0x00, 0x31, 0xFF, 0x06, 0x7E, 0xB0, 0xFF, 0xFF, 0, 0})),
            SumReply({0x01, 0x31, 0xFF, 0x01, 0x55}));
  EXPECT_EQ(simulator.Answer(SumRequest({0x00, 0x32, 0xFF, 0x00})),
            SumReply({0x01, 0x32, 0xFF, 0x06, 0x7E, 0xB0, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST(SerialNumberTest, WriteOfTheWrongLengthIsRefusedAndChangesNothing) {
  Simulator simulator;
  simulator.Device().State<SerialNumberState>() = {true, 0x7EAC, 7};
  EXPECT_EQ(simulator.Answer(SumRequest({0x00, 0x31, 0xFF, 0x04, 0x7E, 0xB0, 0x00, 0x09})),
            SumReply({0x01, 0x31, 0xFF, 0x01, 0x00}));
  EXPECT_EQ(simulator.Device().State<SerialNumberState>().serial, 7);
}

class RegisterMapTest : public ::testing::Test {
 protected:
  Bytes Ask(Bytes body) { return simulator_.Answer(WithCrc(std::move(body))); }
  Simulator simulator_;
};

TEST_F(RegisterMapTest, AddressReadToTheAnyDeviceAddressGivesTheAddress) {
  simulator_.Device().address = 0x2A;
  EXPECT_EQ(Ask({0xFA, 0x03, 0x00, 0x66, 0x00, 0x01}), WithCrc({0x2A, 0x03, 0x02, 0x00, 0x2A}));
}

TEST_F(RegisterMapTest, VersionRegistersHoldFourCharactersEach) {
  EXPECT_EQ(Ask({0x01, 0x03, 0x40, 0x20, 0x00, 0x04}),
            WithCrc({0x01, 0x03, 0x08, '1', '.', '2', '3', '2', '.', '0', '5'}));
}

TEST_F(RegisterMapTest, SnWrittenWithFunction10IsReadBack) {
  EXPECT_EQ(Ask({0x01, 0x10, 0x40, 0x00, 0x00, 0x04, 0x08, 0x7E, 0xB0, 0x00, 0x2A, 0, 0, 0, 0}),
            WithCrc({0x01, 0x10, 0x40, 0x00, 0x00, 0x04}));
  EXPECT_EQ(Ask({0x01, 0x03, 0x40, 0x00, 0x00, 0x04}),
            WithCrc({0x01, 0x03, 0x08, 0x7E, 0xB0, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(RegisterMapTest, AddressWriteIsEchoedFromTheOldAddressAndMovesTheInstrument) {
  EXPECT_EQ(Ask({0x01, 0x06, 0x00, 0x66, 0x00, 0x05}), WithCrc({0x01, 0x06, 0x00, 0x66, 0x00, 0x05}));
  EXPECT_EQ(simulator_.Device().address, 5);
  EXPECT_TRUE(Ask({0x01, 0x03, 0x00, 0x67, 0x00, 0x01}).empty());
  EXPECT_EQ(Ask({0x05, 0x03, 0x00, 0x67, 0x00, 0x01}), WithCrc({0x05, 0x03, 0x02, 0x00, 0x03}));
}

struct ExceptionCase {
  const char* name;
  Bytes request;  // without CRC, address 01
  Bytes reply;    // without CRC
};

class RegisterExceptionTest : public RegisterMapTest,
                              public ::testing::WithParamInterface<ExceptionCase> {};

// Refused requests give function | 0x80 and a code, and write nothing.
TEST_P(RegisterExceptionTest, RefusedRequestsGiveAnExceptionAndWriteNothing) {
  const auto before = simulator_.Device().State<RegisterMapState>().registers;
  EXPECT_EQ(Ask(GetParam().request), WithCrc(GetParam().reply));
  EXPECT_EQ(simulator_.Device().State<RegisterMapState>().registers, before);
  EXPECT_EQ(simulator_.Device().address, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RegisterExceptionTest,
    ::testing::Values(
        ExceptionCase{"read_unknown", {0x01, 0x03, 0x12, 0x34, 0x00, 0x01}, {0x01, 0x83, 0x02}},
        ExceptionCase{"read_runs_past_the_map", {0x01, 0x03, 0x40, 0x22, 0x00, 0x03},
                      {0x01, 0x83, 0x02}},
        ExceptionCase{"read_zero_registers", {0x01, 0x03, 0x40, 0x20, 0x00, 0x00},
                      {0x01, 0x83, 0x03}},
        ExceptionCase{"read_too_many", {0x01, 0x03, 0x40, 0x20, 0x00, 0x7E}, {0x01, 0x83, 0x03}},
        ExceptionCase{"write_unknown", {0x01, 0x06, 0x12, 0x34, 0x00, 0x01}, {0x01, 0x86, 0x02}},
        ExceptionCase{"address_zero", {0x01, 0x06, 0x00, 0x66, 0x00, 0x00}, {0x01, 0x86, 0x03}},
        ExceptionCase{"address_above_255", {0x01, 0x06, 0x00, 0x66, 0x01, 0x00},
                      {0x01, 0x86, 0x03}},
        ExceptionCase{"baud_index_4", {0x01, 0x06, 0x00, 0x67, 0x00, 0x04}, {0x01, 0x86, 0x03}},
        ExceptionCase{"multiple_byte_count_mismatch",
                      {0x01, 0x10, 0x40, 0x00, 0x00, 0x02, 0x02, 0x00, 0x01},
                      {0x01, 0x90, 0x03}},
        // The first register exists, the second does not: none is written.
        ExceptionCase{"multiple_partly_unknown",
                      {0x01, 0x10, 0x40, 0x03, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02},
                      {0x01, 0x90, 0x02}},
        // A bad value in the second register keeps the first from being written.
        ExceptionCase{"multiple_bad_value",
                      {0x01, 0x10, 0x00, 0x66, 0x00, 0x02, 0x04, 0x00, 0x09, 0x00, 0x09},
                      {0x01, 0x90, 0x03}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegisterMapTest, BroadcastWritesAreCarriedOutWithoutReply) {
  EXPECT_TRUE(Ask({0x00, 0x06, 0x00, 0x67, 0x00, 0x01}).empty());
  EXPECT_EQ(simulator_.Device().State<RegisterMapState>().registers.at(kBaudRegister), 1);
  EXPECT_TRUE(Ask({0x00, 0x06, 0x12, 0x34, 0x00, 0x01}).empty());
}

class ChillerTest : public ::testing::Test {
 protected:
  Bytes Read() { return simulator_.Answer(WithXor({0x7B, 0x00, 0x01, 0x00, 0x00})); }
  Bytes Write(uint8_t high, uint8_t low) {
    return simulator_.Answer(WithXor({0x7B, 0x01, 0x02, 0x00, 0x02, high, low}));
  }
  // Value of the first record with this tag in a read reply.
  static Bytes Record(const Bytes& reply, uint8_t tag) {
    for (size_t p = 5; p + 2 <= reply.size() - 1; p += 2 + reply[p + 1]) {
      if (reply[p] == tag) return Bytes(reply.begin() + p + 2, reply.begin() + p + 2 + reply[p + 1]);
    }
    ADD_FAILURE() << "no record " << int(tag);
    return {};
  }
  ChillerState& State() { return simulator_.Device().State<ChillerState>(); }
  Simulator simulator_;
};

TEST_F(ChillerTest, ReadReplyIsAListOfTaggedValues) {
  State().container = "ABC";
  State().returnAir = 25.0f;
  State().supplyAir = -1.5f;
  State().setPointHundredths = 500;
  State().workMode = 2;
  State().alarms = {7, 12};
  EXPECT_EQ(Read(), WithXor({0x7B, 0x80, 0x01, 0x00, 0x1E,
                             0x01, 0x03, 'A', 'B', 'C',
                             0x02, 0x04, 0x41, 0xC8, 0x00, 0x00,
                             0x03, 0x04, 0xBF, 0xC0, 0x00, 0x00,
                             0x04, 0x04, 0x40, 0xA0, 0x00, 0x00,
                             0x05, 0x01, 0x02,
                             0x06, 0x02, 0x07, 0x0C}));
}

TEST_F(ChillerTest, WrittenSetPointIsAcknowledgedAndReadBack) {
  EXPECT_EQ(Write(0xF8, 0xC6), WithXor({0x7B, 0x81, 0x02, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Record(Read(), 4), (Bytes{0xC1, 0x94, 0x00, 0x00}));  // -18.5
  EXPECT_EQ(Write(0x01, 0x2B), WithXor({0x7B, 0x81, 0x02, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Record(Read(), 4), (Bytes{0x40, 0x3F, 0x5C, 0x29}));  // 2.99
}

TEST_F(ChillerTest, RefusedWritesReportTheirErrorCodeAndChangeNothing) {
  State().setPointHundredths = 100;
  EXPECT_EQ(Write(0x0F, 0xA0), WithXor({0x7B, 0x81, 0x02, 0x00, 0x01, kChillerOutOfRange}));  // 40.00
  EXPECT_EQ(simulator_.Answer(WithXor({0x7B, 0x01, 0x02, 0x00, 0x01, 0x05})),
            WithXor({0x7B, 0x81, 0x02, 0x00, 0x01, kChillerBadLength}));
  State().forcedWriteStatus = 3;
  EXPECT_EQ(Write(0x00, 0x10), WithXor({0x7B, 0x81, 0x02, 0x00, 0x01, 0x03}));
  EXPECT_EQ(State().setPointHundredths, 100);
}

}  // namespace
}  // namespace sim
