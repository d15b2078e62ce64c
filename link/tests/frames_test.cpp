#include "link/frames.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace devlink {
namespace {

// Recomputes the trailing Sum8 so a test can break exactly one other field.
Bytes WithSum(Bytes frame) {
  frame.back() = Sum8(frame.data(), static_cast<int32_t>(frame.size() - 1));
  return frame;
}

Bytes WithXor(Bytes frame) {
  frame.back() = Xor8(frame.data(), static_cast<int32_t>(frame.size() - 1), 0);
  return frame;
}

Bytes WithCrc(Bytes frame) {
  frame.resize(frame.size() - 2);
  AppendCrc16(frame);
  return frame;
}

// ---- builders ----

struct BuildCase {
  std::string name;
  Bytes built;
  Bytes wire;
};

class BuildTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildTest, MatchesWireBytes) { EXPECT_EQ(GetParam().built, GetParam().wire); }

const uint16_t kTwoRegisters[] = {0x000A, 0x0102};
const uint8_t kSetTemperature[] = {0xF8, 0xC6};  // -18.5 * 100 = -1850
const uint8_t kTwoBytes[] = {0x34, 0x12};

INSTANTIATE_TEST_SUITE_P(
    Frames, BuildTest,
    ::testing::Values(
        // Read without payload: 7 bytes, '%' addr cmd sub 00 'f' sum.
        BuildCase{"version_read", BuildSumFrame(0x01, 0x0C, 0xAA),
                  {0x25, 0x01, 0x0C, 0xAA, 0x00, 0x66, 0x42}},
        BuildCase{"address_zero", BuildSumFrame(0x00, 0x08, 0xCC),
                  {0x25, 0x00, 0x08, 0xCC, 0x00, 0x66, 0x5F}},
        BuildCase{"with_payload", BuildSumFrame(0x02, 0x31, 0x55, kTwoBytes),
                  {0x25, 0x02, 0x31, 0x55, 0x02, 0x34, 0x12, 0x66, 0x5B}},
        BuildCase{"modbus_read", BuildModbusRead(0x01, 0x0000, 0x0001),
                  {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}},
        BuildCase{"modbus_write_single", BuildModbusWriteSingle(0x01, 0x0001, 0x0003),
                  {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B}},
        BuildCase{"modbus_write_multiple", BuildModbusWriteMultiple(0x01, 0x0001, kTwoRegisters),
                  {0x01, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02, 0x92, 0x30}},
        BuildCase{"xor_read", BuildXorFrame(kXorRead, 0x01),
                  {0x7B, 0x00, 0x01, 0x00, 0x00, 0x7A}},
        BuildCase{"xor_write", BuildXorFrame(kXorWrite, 0x02, kSetTemperature),
                  {0x7B, 0x01, 0x02, 0x00, 0x02, 0xF8, 0xC6, 0x44}}),
    [](const auto& info) { return info.param.name; });

TEST(BuildTest, PayloadsBeyondTheLengthFieldGiveNoFrame) {
  const Bytes sum255(255, 0x11), sum256(256, 0x11);
  EXPECT_EQ(BuildSumFrame(1, 2, 3, sum255).size(), 262u);
  EXPECT_TRUE(BuildSumFrame(1, 2, 3, sum256).empty());
  const std::vector<uint16_t> registers124(124, 0);
  EXPECT_TRUE(BuildModbusWriteMultiple(1, 0, registers124).empty());
  const std::vector<uint16_t> registers123(123, 0);
  EXPECT_EQ(BuildModbusWriteMultiple(1, 0, registers123).size(), 9u + 246u);
  const Bytes xorLong(0x10000, 0);
  EXPECT_TRUE(BuildXorFrame(kXorWrite, 1, xorLong).empty());
}

// ---- SumFrame checks ----

// Version reply: hardware "1.00", software "2.10".
const Bytes kVersionReply = WithSum(
    {0x3C, 0x01, 0x0C, 0x00, 0x08, '1', '.', '0', '0', '2', '.', '1', '0', 0x66, 0x00});
// Acknowledged set command.
const Bytes kAckReply = WithSum({0x3C, 0x01, 0x31, 0x00, 0x01, 0x55, 0x66, 0x00});

Bytes Modified(Bytes frame, size_t index, uint8_t value) {
  frame[index] = value;
  return frame;
}

struct SumCheckCase {
  std::string name;
  Bytes reply;
  size_t expectedLength;
  bool requireAck;
  FrameCheck result;
};

class SumCheckTest : public ::testing::TestWithParam<SumCheckCase> {};

TEST_P(SumCheckTest, ReportsFirstFailedCheck) {
  const SumCheckCase& c = GetParam();
  // The acknowledgement cases answer the set command 0x31, the others the version read.
  const uint8_t command = c.name.compare(0, 3, "ack") == 0 ? 0x31 : 0x0C;
  EXPECT_EQ(CheckSumFrame(c.reply, command, c.expectedLength, c.requireAck), c.result)
      << FrameCheckName(CheckSumFrame(c.reply, command, c.expectedLength, c.requireAck));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SumCheckTest,
    ::testing::Values(
        SumCheckCase{"good", kVersionReply, 15, false, FrameCheck::Ok},
        SumCheckCase{"short", Bytes(kVersionReply.begin(), kVersionReply.end() - 1), 15, false,
                     FrameCheck::Length},
        SumCheckCase{"empty", {}, 15, false, FrameCheck::Length},
        SumCheckCase{"empty_expected_empty", {}, 0, false, FrameCheck::Length},
        SumCheckCase{"start", WithSum(Modified(kVersionReply, 0, 0x25)), 15, false,
                     FrameCheck::StartByte},
        // Another command's reply is rejected even with a correct sum.
        SumCheckCase{"echo", WithSum(Modified(kVersionReply, 2, 0x0D)), 15, false,
                     FrameCheck::Echo},
        SumCheckCase{"sum", Modified(kVersionReply, 14, 0x00), 15, false, FrameCheck::Checksum},
        // A correct sum does not make up for a missing 'f'.
        SumCheckCase{"end_marker", WithSum(Modified(kVersionReply, 13, 0x67)), 15, false,
                     FrameCheck::EndMarker},
        // Several faults: the earliest check in the order is reported.
        SumCheckCase{"start_and_echo", WithSum(Modified(Modified(kVersionReply, 0, 0), 2, 0)),
                     15, false, FrameCheck::StartByte},
        SumCheckCase{"sum_before_end_marker", Modified(Modified(kVersionReply, 13, 0), 14, 0), 15,
                     false, FrameCheck::Checksum},
        SumCheckCase{"ack_good", kAckReply, 8, true, FrameCheck::Ok},
        SumCheckCase{"ack_missing", WithSum(Modified(kAckReply, 5, 0xAA)), 8, true,
                     FrameCheck::Ack},
        SumCheckCase{"ack_not_required", WithSum(Modified(kAckReply, 5, 0xAA)), 8, false,
                     FrameCheck::Ok},
        // A set reply without any payload byte cannot carry the acknowledgement.
        SumCheckCase{"ack_no_payload", WithSum({0x3C, 0x01, 0x31, 0x00, 0x00, 0x66, 0x00}), 7,
                     true, FrameCheck::Ack}),
    [](const auto& info) { return info.param.name; });

// Commands whose instruments leave the start byte or the echo unfilled turn those checks off;
// the sum, the end marker and (when asked) the acknowledgement still hold.
TEST(SumReplyChecksTest, ChecksTurnedOffAreSkippedOthersStillHold) {
  const Bytes otherStart = WithSum(Modified(kAckReply, 0, 0x00));
  const Bytes otherEcho = WithSum(Modified(kAckReply, 2, 0x32));
  const SumReplyChecks loose{.start = false, .echo = false, .ack = true};
  EXPECT_EQ(CheckSumFrame(otherStart, 0x31, 8, SumReplyChecks{.start = true, .echo = false}),
            FrameCheck::StartByte);
  EXPECT_EQ(CheckSumFrame(otherStart, 0x31, 8, loose), FrameCheck::Ok);
  EXPECT_EQ(CheckSumFrame(otherEcho, 0x31, 8, SumReplyChecks{.start = true, .echo = true}),
            FrameCheck::Echo);
  EXPECT_EQ(CheckSumFrame(otherEcho, 0x31, 8, loose), FrameCheck::Ok);
  EXPECT_EQ(CheckSumFrame(Modified(otherEcho, 7, 0x00), 0x31, 8, loose), FrameCheck::Checksum);
  EXPECT_EQ(CheckSumFrame(WithSum(Modified(otherEcho, 6, 0x67)), 0x31, 8, loose),
            FrameCheck::EndMarker);
  EXPECT_EQ(CheckSumFrame(WithSum(Modified(otherEcho, 5, 0xAA)), 0x31, 8, loose),
            FrameCheck::Ack);
  EXPECT_EQ(CheckSumFrame(otherEcho, 0x31, 9, loose), FrameCheck::Length);
}

struct VariableCase {
  std::string name;
  Bytes reply;
  size_t minimum;
  FrameCheck result;
};

class SumVariableTest : public ::testing::TestWithParam<VariableCase> {};

TEST_P(SumVariableTest, LengthFromByteFour) {
  const VariableCase& c = GetParam();
  EXPECT_EQ(CheckSumFrameVariable(c.reply, 0x0C, c.minimum), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SumVariableTest,
    ::testing::Values(
        VariableCase{"good", kVersionReply, 7, FrameCheck::Ok},
        // Count must be above the minimum, not equal to it.
        VariableCase{"at_minimum", kVersionReply, 15, FrameCheck::Length},
        VariableCase{"declared_longer", WithSum(Modified(kVersionReply, 4, 0x09)), 7,
                     FrameCheck::Length},
        VariableCase{"declared_shorter", WithSum(Modified(kVersionReply, 4, 0x07)), 7,
                     FrameCheck::Length},
        VariableCase{"too_short_for_header", {0x3C, 0x01, 0x0C}, 0, FrameCheck::Length},
        VariableCase{"sum", Modified(kVersionReply, 14, 0x01), 7, FrameCheck::Checksum}),
    [](const auto& info) { return info.param.name; });

TEST(SumFramePayloadTest, BetweenHeaderAndEndMarker) {
  const ByteView payload = SumFramePayload(kVersionReply);
  EXPECT_EQ(Bytes(payload.begin(), payload.end()), Bytes({'1', '.', '0', '0', '2', '.', '1', '0'}));
  // A device that puts a wrong count in byte 4 cannot make the payload reach past the frame.
  const Bytes lying = WithSum(Modified(kVersionReply, 4, 0xFF));
  ASSERT_EQ(CheckSumFrame(lying, 0x0C, 15), FrameCheck::Ok);
  EXPECT_EQ(SumFramePayload(lying).size(), 8u);
  EXPECT_TRUE(SumFramePayload(Bytes{0x3C, 0x01}).empty());
}

// ---- ModbusFrame checks ----

const Bytes kRegisterReply = {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};
const Bytes kWriteEcho = {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B};

struct ModbusCase {
  std::string name;
  Bytes reply;
  uint8_t function;
  size_t expectedLength;
  FrameCheck result;
};

class ModbusCheckTest : public ::testing::TestWithParam<ModbusCase> {};

TEST_P(ModbusCheckTest, ReportsFirstFailedCheck) {
  const ModbusCase& c = GetParam();
  EXPECT_EQ(CheckModbusFrame(c.reply, c.function, c.expectedLength), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ModbusCheckTest,
    ::testing::Values(
        ModbusCase{"read_good", kRegisterReply, kModbusRead, 7, FrameCheck::Ok},
        ModbusCase{"write_good", kWriteEcho, kModbusWriteSingle, 8, FrameCheck::Ok},
        ModbusCase{"length", kRegisterReply, kModbusRead, 9, FrameCheck::Length},
        ModbusCase{"tiny", {0x01, 0x03}, kModbusRead, 2, FrameCheck::Length},
        // Exception reply (function | 0x80) of the expected size.
        ModbusCase{"exception", WithCrc({0x01, 0x83, 0x02, 0x00, 0x00, 0x00, 0x00}), kModbusRead,
                   7, FrameCheck::Echo},
        ModbusCase{"byte_count", WithCrc({0x01, 0x03, 0x04, 0x00, 0x2A, 0x00, 0x00}),
                   kModbusRead, 7, FrameCheck::ByteCount},
        ModbusCase{"crc_low", Modified(kRegisterReply, 5, 0x9B), kModbusRead, 7,
                   FrameCheck::Checksum},
        // The CRC goes low byte first: swapped bytes are wrong.
        ModbusCase{"crc_swapped", {0x01, 0x03, 0x02, 0x00, 0x2A, 0x9B, 0x39}, kModbusRead, 7,
                   FrameCheck::Checksum},
        ModbusCase{"payload_changed", Modified(kRegisterReply, 4, 0x2B), kModbusRead, 7,
                   FrameCheck::Checksum}),
    [](const auto& info) { return info.param.name; });

TEST(ModbusRegistersTest, BigEndianAndBounded) {
  const Bytes reply = WithCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0xFF, 0xFE, 0x00, 0x00});
  EXPECT_EQ(ModbusRegisters(reply), (std::vector<uint16_t>{0x1234, 0xFFFE}));
  // A byte count larger than the reply yields only what is there.
  EXPECT_EQ(ModbusRegisters(Modified(reply, 2, 0xF0)).size(), 2u);
  EXPECT_TRUE(ModbusRegisters(Bytes{0x01, 0x03}).empty());
}

// ---- XorFrame checks ----

const Bytes kXorReadRequest = BuildXorFrame(kXorRead, 0x01);
const Bytes kXorWriteRequest = BuildXorFrame(kXorWrite, 0x02, kSetTemperature);
// Read reply with container "ABC", return air 25.0, work mode 2.
const Bytes kChillerReply = WithXor({0x7B, 0x80, 0x01, 0x00, 0x0E, 0x01, 0x03, 'A', 'B', 'C', 0x02,
                                     0x04, 0x41, 0xC8, 0x00, 0x00, 0x05, 0x01, 0x02, 0x00});
// Write reply with error code 3 in its payload: a good frame; the code is the page's business.
const Bytes kWriteErrorReply = {0x7B, 0x81, 0x02, 0x00, 0x01, 0x03, 0xFA};

struct XorCase {
  std::string name;
  Bytes reply;
  Bytes request;
  FrameCheck result;
};

class XorCheckTest : public ::testing::TestWithParam<XorCase> {};

TEST_P(XorCheckTest, ReportsFirstFailedCheck) {
  const XorCase& c = GetParam();
  EXPECT_EQ(CheckXorFrame(c.reply, c.request), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, XorCheckTest,
    ::testing::Values(
        XorCase{"read_good", kChillerReply, kXorReadRequest, FrameCheck::Ok},
        XorCase{"write_error_code", kWriteErrorReply, kXorWriteRequest, FrameCheck::Ok},
        XorCase{"start", WithXor(Modified(kChillerReply, 0, 0x7C)), kXorReadRequest,
                FrameCheck::StartByte},
        XorCase{"echo", WithXor(Modified(kChillerReply, 2, 0x02)), kXorReadRequest,
                FrameCheck::Echo},
        // A write answered with the read kind 0x80.
        XorCase{"kind", WithXor(Modified(kWriteErrorReply, 1, 0x80)), kXorWriteRequest,
                FrameCheck::Kind},
        XorCase{"xor", Modified(kChillerReply, kChillerReply.size() - 1, 0x00), kXorReadRequest,
                FrameCheck::Checksum},
        // Length is the last check: a frame whose declared length is wrong but whose XOR holds.
        XorCase{"declared_length", WithXor(Modified(kChillerReply, 4, 0x0D)), kXorReadRequest,
                FrameCheck::Length},
        XorCase{"echo_before_kind", WithXor(Modified(Modified(kWriteErrorReply, 1, 0x80), 2, 9)),
                kXorWriteRequest, FrameCheck::Echo},
        XorCase{"too_short", {0x7B, 0x80, 0x01}, kXorReadRequest, FrameCheck::Length},
        XorCase{"empty", {}, kXorReadRequest, FrameCheck::Length}),
    [](const auto& info) { return info.param.name; });

TEST(XorFramePayloadTest, RecordsBetweenHeaderAndCheck) {
  const ByteView payload = XorFramePayload(kChillerReply);
  ASSERT_EQ(payload.size(), 14u);
  EXPECT_EQ(payload[0], 0x01);
  EXPECT_EQ(payload[13], 0x02);
  EXPECT_TRUE(XorFramePayload(Bytes{0x7B}).empty());
}

// ---- acceptance without a known length ----

struct AcceptCase {
  std::string name;
  Bytes reply;
  FrameFamily family;
  bool checkValue;
  bool accepted;
};

class AcceptTest : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptTest, FamilyRule) {
  const AcceptCase& c = GetParam();
  EXPECT_EQ(ReplyPassesFamilyCheck(c.reply, c.family, c.checkValue), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AcceptTest,
    ::testing::Values(
        AcceptCase{"sum_good", kVersionReply, FrameFamily::Sum, true, true},
        AcceptCase{"sum_bad", Modified(kVersionReply, 14, 0), FrameFamily::Sum, true, false},
        AcceptCase{"sum_bad_unchecked", Modified(kVersionReply, 14, 0), FrameFamily::Sum, false,
                   true},
        AcceptCase{"sum_wrong_start", Modified(kVersionReply, 0, 0x3D), FrameFamily::Sum, false,
                   false},
        AcceptCase{"modbus_good", kRegisterReply, FrameFamily::Modbus, true, true},
        AcceptCase{"modbus_bad", Modified(kRegisterReply, 6, 0), FrameFamily::Modbus, true, false},
        AcceptCase{"modbus_unchecked", Modified(kRegisterReply, 6, 0), FrameFamily::Modbus, false,
                   true},
        AcceptCase{"modbus_one_byte", {0x01}, FrameFamily::Modbus, true, false},
        AcceptCase{"xor_good", kChillerReply, FrameFamily::Xor, true, true},
        AcceptCase{"xor_bad", Modified(kChillerReply, 5, 0x09), FrameFamily::Xor, true, false},
        AcceptCase{"xor_wrong_start", kVersionReply, FrameFamily::Xor, false, false},
        AcceptCase{"empty", {}, FrameFamily::Modbus, false, false}),
    [](const auto& info) { return info.param.name; });

// Validators and payload accessors are fed whatever a device sends: arbitrary bytes of any
// length must never make them read outside the reply (the sanitizer build checks the reads).
TEST(FrameRobustnessTest, ArbitraryRepliesStayInBounds) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    Bytes reply(random() % 24);
    for (auto& b : reply) b = static_cast<uint8_t>(random());
    if (!reply.empty() && round % 3 == 0) reply[0] = static_cast<uint8_t>(round % 2 ? 0x3C : 0x7B);
    if (reply.size() > 4 && round % 5 == 0) reply[4] = static_cast<uint8_t>(reply.size() - 7);
    const size_t expected = reply.size();
    for (FrameCheck check : {CheckSumFrame(reply, reply.size() > 2 ? reply[2] : 0, expected, true),
                             CheckSumFrameVariable(reply, 0x0C, 0, true),
                             CheckModbusFrame(reply, kModbusRead, expected),
                             CheckXorFrame(reply, kXorReadRequest),
                             CheckXorFrame(reply, Bytes{})}) {
      EXPECT_NE(FrameCheckName(check), nullptr);
    }
    EXPECT_LE(SumFramePayload(reply).size(), reply.size());
    EXPECT_LE(XorFramePayload(reply).size(), reply.size());
    EXPECT_LE(ModbusRegisters(reply).size() * 2, reply.size());
    for (FrameFamily f : {FrameFamily::Sum, FrameFamily::Modbus, FrameFamily::Xor}) {
      ReplyPassesFamilyCheck(reply, f, true);
    }
  }
}

}  // namespace
}  // namespace devlink
