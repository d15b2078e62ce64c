#include "app/version_read.h"

#include <cstdio>

#include "link/frames.h"

namespace app {
namespace {

// The device sends each version as four ASCII characters "d.dd"; every digit is shown in hex
// after subtracting '0', exactly as the instrument's own tools print it.
std::string FormatVersion(const uint8_t* four) {
  char text[40];
  std::snprintf(text, sizeof text, "%x.%x%x", static_cast<unsigned>(four[0] - 0x30),
                static_cast<unsigned>(four[2] - 0x30), static_cast<unsigned>(four[3] - 0x30));
  return text;
}

}  // namespace

devlink::Bytes BuildVersionRequest(uint8_t address) {
  return devlink::BuildSumFrame(address, kVersionCommand, kVersionSubCommand);
}

std::optional<Versions> ParseVersionReply(devlink::ByteView reply) {
  if (reply.size() != kVersionReplyLength) return std::nullopt;
  if (reply[0] != devlink::kSumReplyStart) return std::nullopt;
  if (devlink::Sum8(reply.data(), 14) != reply[14]) return std::nullopt;
  if (reply[13] != devlink::kSumEndMarker) return std::nullopt;
  return Versions{FormatVersion(reply.data() + 5), FormatVersion(reply.data() + 9)};
}

VersionOutcome ReadVersions(devlink::Channel& channel) {
  const devlink::Bytes request = BuildVersionRequest(channel.DeviceAddress());
  devlink::ReplySpec spec;
  spec.capacity = kVersionReplyLength;
  spec.family = devlink::FrameFamily::Sum;
  spec.checkSum = true;
  const devlink::ExchangeResult result = channel.Exchange(request, spec);
  if (result.status == devlink::ExchangeStatus::PortNotOpen) return {std::nullopt, devlink::kPortOpenFailed};
  if (result.status != devlink::ExchangeStatus::Ok) return {std::nullopt, kReadFailed};
  std::optional<Versions> versions = ParseVersionReply(result.reply);
  if (!versions) return {std::nullopt, kReadFailed};
  return {versions, kReadOk};
}

}  // namespace app
