// Finding requests in the byte stream: resynchronisation after noise, requests split anywhere,
// addressing, and families added after the built-in ones.
#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/framing.h"
#include "sim/tests/wire.h"

namespace sim {
namespace {

using testing::Concat;
using testing::FeedAll;
using testing::SumRequest;
using testing::WithCrc;
using testing::WithXor;

const Bytes kVersionRead = SumRequest({0x00, 0x0C, 0xAA, 0x00});
const Bytes kAddressRead = WithCrc({0xFA, 0x03, 0x00, 0x66, 0x00, 0x01});
const Bytes kChillerRead = WithXor({0x7B, 0x00, 0x01, 0x00, 0x00});

TEST(FramingTest, VersionRequestIsTheSevenBytesOfAReadWithoutPayload) {
  EXPECT_EQ(kVersionRead, (Bytes{0x25, 0x00, 0x0C, 0xAA, 0x00, 0x66, 0x41}));
}

struct NoiseCase {
  const char* name;
  Bytes noise;
  Bytes request;
};

class ResyncTest : public ::testing::TestWithParam<NoiseCase> {};

// Noise before a request is dropped and logged as one entry; the request is still answered.
TEST_P(ResyncTest, NoiseBeforeARequestIsDroppedAndLogged) {
  const NoiseCase& c = GetParam();
  Simulator simulator;
  std::vector<Bytes> replies = FeedAll(simulator, Concat({c.noise, c.request}));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], Simulator().Answer(c.request));
  EXPECT_EQ(simulator.RequestLog(), (std::vector<Bytes>{c.noise, c.request}));
}

INSTANTIATE_TEST_SUITE_P(
    Families, ResyncTest,
    ::testing::Values(
        NoiseCase{"plain_noise", {0x99, 0x98, 0x00}, kVersionRead},
        // A stray '%' announces a frame whose sum then fails.
        NoiseCase{"stray_start", {0x25, 0x01, 0x02}, kVersionRead},
        // Looks like the start of a Modbus read (address 07, function 03): the CRC tells.
        NoiseCase{"false_modbus_start", {0x07, 0x03}, kAddressRead},
        // A '{' announcing far more than any request carries is not waited for.
        NoiseCase{"huge_xor_length", {0x7B, 0x00, 0x01, 0xFF, 0xFF}, kChillerRead},
        // A whole request with a wrong sum is not answered.
        NoiseCase{"bad_sum_request", {0x25, 0x00, 0x0C, 0xAA, 0x00, 0x66, 0x42}, kVersionRead},
        NoiseCase{"bad_end_marker", testing::WithSum({0x25, 0x00, 0x0C, 0xAA, 0x00, 0x67}),
                  kVersionRead}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FramingTest, RequestsFedOneByteAtATimeAreAnsweredOnTheirLastByte) {
  Simulator whole;
  Simulator simulator;
  for (const Bytes& request : {kVersionRead, kAddressRead, kChillerRead}) {
    for (size_t i = 0; i < request.size(); ++i) {
      auto replies = simulator.Feed(&request[i], 1);
      if (i + 1 < request.size()) {
        EXPECT_TRUE(replies.empty()) << "answered after byte " << i;
      } else {
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].bytes, whole.Answer(request));
      }
    }
  }
  EXPECT_EQ(simulator.RequestLog(),
            (std::vector<Bytes>{kVersionRead, kAddressRead, kChillerRead}));
}

TEST(FramingTest, SeveralRequestsInOneReadGetOneReplyEach) {
  Simulator simulator;
  auto replies = FeedAll(simulator, Concat({kChillerRead, kVersionRead, kAddressRead}));
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0][0], 0x7B);
  EXPECT_EQ(replies[1][0], 0x3C);
  EXPECT_EQ(replies[2][1], 0x03);
}

TEST(FramingTest, ResetDropsACutOffRequestSoTheNextOneIsAnswered) {
  Simulator simulator;
  Bytes cut(kVersionRead.begin(), kVersionRead.begin() + 4);
  EXPECT_TRUE(FeedAll(simulator, cut).empty());
  simulator.ResetInput();
  EXPECT_EQ(FeedAll(simulator, kVersionRead).size(), 1u);
  EXPECT_EQ(simulator.RequestLog(), (std::vector<Bytes>{cut, kVersionRead}));
  simulator.ClearLog();
  EXPECT_TRUE(simulator.RequestLog().empty());
}

struct AddressCase {
  const char* name;
  Bytes request;
  bool answered;
};

class AddressTest : public ::testing::TestWithParam<AddressCase> {};

// Instrument at address 7: requests for other addresses are logged but not answered.
TEST_P(AddressTest, OnlyRequestsForThisInstrumentAreAnswered) {
  Simulator simulator;
  simulator.Device().address = 7;
  std::vector<Bytes> replies = FeedAll(simulator, GetParam().request);
  EXPECT_EQ(replies.size(), GetParam().answered ? 1u : 0u);
  EXPECT_EQ(simulator.RequestLog(), std::vector<Bytes>{GetParam().request});
  if (GetParam().answered) {
    EXPECT_EQ(replies[0][GetParam().request[0] == 0x25 ? 1 : 0], 7);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Families, AddressTest,
    ::testing::Values(
        AddressCase{"sum_own", SumRequest({0x07, 0x0C, 0xAA, 0x00}), true},
        AddressCase{"sum_single_device", SumRequest({0x00, 0x0C, 0xAA, 0x00}), true},
        AddressCase{"sum_other", SumRequest({0x08, 0x0C, 0xAA, 0x00}), false},
        AddressCase{"modbus_own", WithCrc({0x07, 0x03, 0x00, 0x66, 0x00, 0x01}), true},
        AddressCase{"modbus_any_device", WithCrc({0xFA, 0x03, 0x00, 0x66, 0x00, 0x01}), true},
        AddressCase{"modbus_other", WithCrc({0x08, 0x03, 0x00, 0x66, 0x00, 0x01}), false},
        AddressCase{"modbus_broadcast_read", WithCrc({0x00, 0x03, 0x00, 0x66, 0x00, 0x01}),
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FramingTest, UnknownCommandsAreLoggedAndLeftUnanswered) {
  Simulator simulator;
  Bytes unknown = SumRequest({0x00, 0x7E, 0x55, 0x00});
  EXPECT_TRUE(FeedAll(simulator, unknown).empty());
  EXPECT_EQ(simulator.RequestLog(), std::vector<Bytes>{unknown});
}

// A family added later, Modbus-shaped with functions of its own (as an adapter's are), gets what
// the Modbus framer cannot frame; a later family sharing a start byte gets the frames whose check
// only it accepts.
TEST(FramingTest, FamiliesAddedLaterTakeWhatTheBuiltInOnesDoNotRecognise) {
  Simulator simulator;
  Framing adapter;
  adapter.measure = [](const Bytes& b) -> std::optional<size_t> {
    if (b[0] != 0x02) return std::nullopt;
    if (b.size() < 2) return 0;
    if (b[1] == 0x41) return 15;
    if (b[1] == 0x42) return 8;
    return std::nullopt;
  };
  simulator.AddFamily("test-adapter", adapter);
  simulator.AddHandler("test-adapter", [](Instrument&, const Bytes& request) -> std::optional<Bytes> {
    return Bytes{request[0], request[1], 0xAB};
  });
  // '%'-frames sealed with a CRC instead of a sum.
  simulator.AddFamily("percent-crc", [](const Bytes& b) -> std::optional<size_t> {
    if (b[0] != 0x25) return std::nullopt;
    return b.size() < 5 ? 0 : b[4] + 8;
  });
  simulator.AddHandler("percent-crc", [](Instrument&, const Bytes&) -> std::optional<Bytes> {
    return Bytes{0xCC};
  });

  Bytes connect = WithCrc({0x02, 0x41, 0x00, 0x00, 0x00, 0x03, 0x06, 1, 2, 3, 4, 5, 6});
  Bytes query = WithCrc({0x02, 0x42, 0x00, 0x00, 0x00, 0x03});
  Bytes crcFrame = WithCrc({0x25, 0x00, 0x40, 0x01, 0x00, 0x66});
  auto replies = FeedAll(simulator, Concat({connect, query, crcFrame, kVersionRead}));
  ASSERT_EQ(replies.size(), 4u);
  EXPECT_EQ(replies[0], (Bytes{0x02, 0x41, 0xAB}));
  EXPECT_EQ(replies[1], (Bytes{0x02, 0x42, 0xAB}));
  EXPECT_EQ(replies[2], Bytes{0xCC});
  EXPECT_EQ(replies[3][2], 0x0C);
}

TEST(FramingTest, HandlerForAnUnknownFamilyIsAProgrammingError) {
  Simulator simulator;
  EXPECT_THROW(simulator.AddHandler("nope", [](Instrument&, const Bytes&) {
    return std::optional<Bytes>();
  }),
               std::invalid_argument);
  EXPECT_THROW(simulator.AddFamily(kSumFamily, [](const Bytes&) { return std::optional<size_t>(); }),
               std::invalid_argument);
}

TEST(FramingTest, StateOfEachFamilyPersistsAndStaysSeparate) {
  struct A { int value = 1; };
  struct B { int value = 2; };
  Instrument device;
  device.State<A>().value = 10;
  EXPECT_EQ(device.State<B>().value, 2);
  EXPECT_EQ(device.State<A>().value, 10);
}

}  // namespace
}  // namespace sim
