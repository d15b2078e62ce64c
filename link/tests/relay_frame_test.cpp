// RelayFrame: requests byte for byte (CRC over bytes 1..'f', high byte first, only where asked)
// and the acceptance of replies by length and fixed bytes.
#include "link/relay_frame.h"

#include <gtest/gtest.h>

namespace devlink {
namespace {

struct BuildCase {
  const char* name;
  Bytes built;
  Bytes expected;
};

TEST(RelayFrameTest, RequestsMatchTheWireExamples) {
  const uint8_t clock[] = {0x24, 0x03, 0x15, 0x10, 0x20, 0x30};
  const BuildCase cases[] = {
      {"bare read P", BuildRelayRead(0x50), {0x25, 0x30, 0x30, 0x00, 0x50, 0x01, 0x66}},
      {"bare read 0x93", BuildRelayRead(0x93), {0x25, 0x30, 0x30, 0x00, 0x93, 0x01, 0x66}},
      {"power on, 9600", BuildRelayFrame(0xF3, {}, RelayCrc::HighFirst),
       {0x25, 0x30, 0x30, 0x00, 0xF3, 0x03, 0x66, 0x06, 0x35}},
      {"power off, 9600", BuildRelayFrame(0xF4, {}, RelayCrc::HighFirst),
       {0x25, 0x30, 0x30, 0x00, 0xF4, 0x03, 0x66, 0xC7, 0x84}},
      {"clock, no CRC", BuildRelayFrame(0x52, clock, RelayCrc::None),
       {0x25, 0x30, 0x30, 0x00, 0x52, 0x07, 0x24, 0x03, 0x15, 0x10, 0x20, 0x30, 0x66}},
  };
  for (const BuildCase& c : cases) EXPECT_EQ(c.built, c.expected) << c.name;
}

TEST(RelayFrameTest, CountCoversPayloadEndAndCrcAndBlockWritesCarryTheirMarker) {
  const Bytes payload(105, 0x00);
  const Bytes frame = BuildRelayFrame(0x49, payload, RelayCrc::HighFirst, kRelayBlockWrite);
  ASSERT_EQ(frame.size(), 114u);
  EXPECT_EQ(frame[3], 0x30);
  EXPECT_EQ(frame[5], 0x6C);
  EXPECT_EQ(frame[111], 0x66);
  const uint16_t crc = Crc16Modbus(frame.data() + 1, 111);
  EXPECT_EQ(frame[112], crc >> 8);
  EXPECT_EQ(frame[113], crc & 0xFF);
  // N must fit its byte: 252 payload bytes + 'f' + CRC is the most.
  EXPECT_EQ(BuildRelayFrame(0x49, Bytes(252), RelayCrc::HighFirst).size(), 261u);
  EXPECT_TRUE(BuildRelayFrame(0x49, Bytes(253), RelayCrc::HighFirst).empty());
}

struct CheckCase {
  const char* name;
  Bytes reply;
  FrameCheck expected;
};

TEST(RelayFrameTest, RepliesAreAcceptedByLengthAndFixedBytes) {
  const RelayReply answer = RelayAnswer(7, 'Q', 0x01);
  const CheckCase cases[] = {
      {"good, any bytes 1-2", {0x3C, 0x12, 0x34, 0x00, 'Q', 0x01, 0x66}, FrameCheck::Ok},
      {"one byte short", {0x3C, 0x30, 0x30, 0x00, 'Q', 0x01}, FrameCheck::Length},
      {"one byte long", {0x3C, 0x30, 0x30, 0x00, 'Q', 0x01, 0x66, 0x00}, FrameCheck::Length},
      {"start byte", {0x25, 0x30, 0x30, 0x00, 'Q', 0x01, 0x66}, FrameCheck::StartByte},
      {"byte 3", {0x3C, 0x30, 0x30, 0x30, 'Q', 0x01, 0x66}, FrameCheck::FixedByte},
      {"command", {0x3C, 0x30, 0x30, 0x00, 'R', 0x01, 0x66}, FrameCheck::Echo},
      {"count", {0x3C, 0x30, 0x30, 0x00, 'Q', 0x02, 0x66}, FrameCheck::FixedByte},
      {"end", {0x3C, 0x30, 0x30, 0x00, 'Q', 0x01, 0x65}, FrameCheck::EndMarker},
  };
  for (const CheckCase& c : cases) EXPECT_EQ(CheckRelayReply(c.reply, answer), c.expected) << c.name;

  // Any command byte when the command asks for none.
  EXPECT_EQ(CheckRelayReply(Bytes{0x3C, 0, 0, 0x00, 0x99, 0x01, 0x66}, RelayAnswer(7, -1, 1)),
            FrameCheck::Ok);
  const RelayReply text = RelayExactReply("\r\nCommand Rec!");
  EXPECT_EQ(CheckRelayReply(Bytes{0x0D, 0x0A, 'C', 'o', 'm', 'm', 'a', 'n', 'd', ' ', 'R', 'e',
                                  'c', '!'},
                            text),
            FrameCheck::Ok);
  EXPECT_NE(CheckRelayReply(Bytes{0x0D, 0x0A, 'C', 'o', 'm', 'm', 'a', 'n', 'd', ' ', 'R', 'e',
                                  'c', '?'},
                            text),
            FrameCheck::Ok);
}

TEST(RelayFrameTest, VariableLengthFollowsByte5AndEndsInF) {
  RelayReply rule;
  rule.length = 8;
  rule.lengthFromByte5 = true;
  rule.fixed = {{0, kRelayReplyStart}, {4, 'V'}};
  rule.endsWithEnd = true;
  EXPECT_EQ(CheckRelayReply(Bytes{0x3C, 0, 0, 0, 'V', 0x02, 0x00, 0x66}, rule), FrameCheck::Ok);
  EXPECT_EQ(CheckRelayReply(Bytes{0x3C, 0, 0, 0, 'V', 0x03, 0x00, 0x66}, rule),
            FrameCheck::Length);
  EXPECT_EQ(CheckRelayReply(Bytes{0x3C, 0, 0, 0, 'V', 0x02, 0x00, 0x67}, rule),
            FrameCheck::EndMarker);
  EXPECT_EQ(CheckRelayReply(Bytes{0x3C, 0, 0, 0, 'V'}, rule), FrameCheck::Length);
}

}  // namespace
}  // namespace devlink
