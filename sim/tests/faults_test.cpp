// Misbehaviour on demand: each fault spoils exactly what it names, in each frame family, and
// the timing faults reach the transports with the reply.
#include <gtest/gtest.h>

#include <functional>

#include "link/checks.h"
#include "sim/tests/wire.h"

namespace sim {
namespace {

using testing::SumRequest;
using testing::WithCrc;
using testing::WithXor;

bool SumValid(const Bytes& f) {
  return devlink::Sum8(f.data(), static_cast<int32_t>(f.size() - 1)) == f.back();
}
bool CrcValid(const Bytes& f) { return WithCrc(Bytes(f.begin(), f.end() - 2)) == f; }
bool XorValid(const Bytes& f) { return WithXor(Bytes(f.begin(), f.end() - 1)) == f; }

// Positions where two replies of the same length differ.
std::vector<size_t> Differences(const Bytes& a, const Bytes& b) {
  std::vector<size_t> at;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) at.push_back(i);
  }
  return at;
}

struct FaultCase {
  const char* name;
  Bytes request;
  Faults faults;
  std::function<void(const Bytes& good, const Bytes& bad)> expect;
};

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, FaultSpoilsWhatItNames) {
  Simulator simulator;
  const Bytes good = simulator.Answer(GetParam().request);
  ASSERT_FALSE(good.empty());
  simulator.SetFaults(GetParam().faults);
  GetParam().expect(good, simulator.Answer(GetParam().request));
}

const Bytes kVersion = SumRequest({0x00, 0x0C, 0xAA, 0x00});
const Bytes kRegisters = WithCrc({0x01, 0x03, 0x40, 0x20, 0x00, 0x04});
const Bytes kChiller = WithXor({0x7B, 0x00, 0x01, 0x00, 0x00});

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"silent", kVersion, {.silent = true},
                  [](const Bytes&, const Bytes& bad) { EXPECT_TRUE(bad.empty()); }},
        FaultCase{"wrong_sum", kVersion, {.wrongSum = true},
                  [](const Bytes& good, const Bytes& bad) {
                    EXPECT_EQ(Differences(good, bad), std::vector<size_t>{good.size() - 1});
                    EXPECT_FALSE(SumValid(bad));
                  }},
        FaultCase{"wrong_echo_sum", kVersion, {.wrongEcho = true},
                  [](const Bytes& good, const Bytes& bad) {
                    EXPECT_EQ(Differences(good, bad)[0], 2u);
                    EXPECT_TRUE(SumValid(bad));
                  }},
        FaultCase{"wrong_end", kVersion, {.wrongEnd = true},
                  [](const Bytes& good, const Bytes& bad) {
                    EXPECT_EQ(Differences(good, bad)[0], good.size() - 2);
                    EXPECT_NE(bad[bad.size() - 2], 0x66);
                    EXPECT_TRUE(SumValid(bad));
                  }},
        FaultCase{"short", kVersion, {.truncateTo = 6},
                  [](const Bytes& good, const Bytes& bad) {
                    EXPECT_EQ(bad, Bytes(good.begin(), good.begin() + 6));
                  }},
        // Filler after a complete frame: cut back to the frame, it is whole and valid again.
        FaultCase{"oversize", kVersion, {.extraBytes = 400},
                  [](const Bytes& good, const Bytes& bad) {
                    ASSERT_EQ(bad.size(), good.size() + 400);
                    EXPECT_EQ(Bytes(bad.begin(), bad.begin() + good.size()), good);
                  }},
        FaultCase{"wrong_echo_modbus", kRegisters, {.wrongEcho = true},
                  [](const Bytes& good, const Bytes& bad) {
                    EXPECT_EQ(Differences(good, bad)[0], 1u);
                    EXPECT_TRUE(CrcValid(bad));
                  }},
        FaultCase{"wrong_sum_modbus", kRegisters, {.wrongSum = true},
                  [](const Bytes&, const Bytes& bad) { EXPECT_FALSE(CrcValid(bad)); }},
        // Modbus has no end marker: the fault leaves its replies alone.
        FaultCase{"wrong_end_modbus", kRegisters, {.wrongEnd = true},
                  [](const Bytes& good, const Bytes& bad) { EXPECT_EQ(good, bad); }},
        FaultCase{"wrong_echo_xor", kChiller, {.wrongEcho = true},
                  [](const Bytes& good, const Bytes& bad) {
                    EXPECT_EQ(Differences(good, bad)[0], 2u);
                    EXPECT_TRUE(XorValid(bad));
                  }},
        FaultCase{"wrong_sum_xor", kChiller, {.wrongSum = true},
                  [](const Bytes&, const Bytes& bad) { EXPECT_FALSE(XorValid(bad)); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FaultsTest, OnlyNextSpoilsThatManyRepliesThenClears) {
  Simulator simulator;
  const Bytes good = simulator.Answer(kVersion);
  simulator.SetFaults({.silent = true, .onlyNext = 2});
  EXPECT_TRUE(simulator.Answer(kVersion).empty());
  EXPECT_TRUE(simulator.Answer(kVersion).empty());
  EXPECT_EQ(simulator.Answer(kVersion), good);
  EXPECT_FALSE(simulator.CurrentFaults().silent);
  EXPECT_EQ(simulator.RequestLog().size(), 4u);
}

TEST(FaultsTest, RequestsForOthersDoNotUseUpOnlyNext) {
  Simulator simulator;
  simulator.SetFaults({.wrongSum = true, .onlyNext = 1});
  EXPECT_TRUE(simulator.Answer(SumRequest({0x09, 0x0C, 0xAA, 0x00})).empty());
  EXPECT_FALSE(SumValid(simulator.Answer(kVersion)));
  EXPECT_TRUE(SumValid(simulator.Answer(kVersion)));
}

TEST(FaultsTest, TimingTravelsWithEachReply) {
  Simulator simulator;
  simulator.SetWireBaud(2400);
  simulator.SetFaults({.latencyMs = 30, .splitAt = 5, .splitGapMs = 50, .onlyNext = 1});
  auto first = simulator.Feed(kVersion.data(), kVersion.size());
  auto second = simulator.Feed(kVersion.data(), kVersion.size());
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first[0].latencyMs, 30);
  EXPECT_EQ(first[0].splitAt, 5u);
  EXPECT_EQ(first[0].splitGapMs, 50);
  EXPECT_EQ(first[0].wireBaud, 2400);
  EXPECT_EQ(second[0].latencyMs, 0);
  EXPECT_EQ(second[0].splitAt, 0u);
  EXPECT_EQ(second[0].wireBaud, 2400);
}

}  // namespace
}  // namespace sim
