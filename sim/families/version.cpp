// Version read: '%' addr 0C AA 00 'f' sum -> '<' addr 0C AA 08 [hardware x4, software x4] 'f' sum.
#include "sim/families/version.h"

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kVersionCommand = 0x0C;
constexpr uint8_t kVersionRead = 0xAA;
constexpr size_t kVersionChars = 4;

void AppendVersion(Bytes& payload, const std::string& text) {
  for (size_t i = 0; i < kVersionChars; ++i) {
    payload.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : uint8_t{'0'});
  }
}

std::optional<Bytes> ReadVersion(Instrument& device, const Bytes& frame) {
  SumRequest request = ParseSum(frame);
  if (request.command != kVersionCommand || request.sub != kVersionRead) return std::nullopt;
  const auto& state = device.State<VersionState>();
  Bytes payload;
  AppendVersion(payload, state.hardware);
  AppendVersion(payload, state.software);
  return SumReply(device.address, kVersionCommand, kVersionRead, payload);
}

}  // namespace

void RegisterVersion(Simulator& simulator) { simulator.AddHandler(kSumFamily, ReadVersion); }

}  // namespace sim
