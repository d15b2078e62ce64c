#include "pages/widgets/version_read.h"

#include <cstdio>

#include "link/frames.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/messages.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages {
namespace {

// The device sends each version as four ASCII characters "d.dd"; every digit is shown in hex
// after subtracting '0', exactly as the instrument's own tools print it.
std::string FormatVersion(const uint8_t* four) {
  char text[40];
  std::snprintf(text, sizeof text, "%x.%x%x", static_cast<unsigned>(four[0] - 0x30),
                static_cast<unsigned>(four[2] - 0x30), static_cast<unsigned>(four[3] - 0x30));
  return text;
}

// Length, '<', Sum8, 'f'; the echoed command is not looked at.
pages::ReplyRule VersionReply() { return pages::SumRule(kVersionReplyLength).NoEcho(); }

Versions Decode(devlink::ByteView reply) {
  return {FormatVersion(reply.data() + 5), FormatVersion(reply.data() + 9)};
}

}  // namespace

devlink::Bytes BuildVersionRequest(uint8_t address) {
  return devlink::BuildSumFrame(address, kVersionCommand, kVersionSubCommand);
}

std::optional<Versions> ParseVersionReply(devlink::ByteView reply) {
  if (pages::CheckReply(reply, {}, VersionReply()) != devlink::FrameCheck::Ok) return std::nullopt;
  return Decode(reply);
}

Result<Versions> ReadVersions(devlink::Channel& channel) {
  const auto reply = pages::RunExchange(channel, BuildVersionRequest(channel.DeviceAddress()),
                                        VersionReply(), pages::kReadFailed);
  if (!reply.ok()) return reply.outcome;
  return {pages::kReadOk, Decode(reply.value)};
}

std::optional<SnAndVersions> ReadSnAndVersions(devlink::Channel& channel) {
  const WidgetReply sn = ReadSn(channel);
  if (!sn.ok()) return std::nullopt;
  SnAndVersions identity{sn.value.text, std::nullopt};
  // A silent instrument costs one wait, not two.
  if (auto versions = ReadVersions(channel); versions.ok()) identity.versions = versions.value;
  return identity;
}

Values IdentityValues(devlink::Channel& channel) {
  const std::optional<SnAndVersions> identity = ReadSnAndVersions(channel);
  if (!identity) return {};
  Values values{{"sn", identity->sn}};
  if (identity->versions) {
    values.emplace_back("hardware", identity->versions->hardware);
    values.emplace_back("software", identity->versions->software);
  }
  return values;
}

}  // namespace pages
