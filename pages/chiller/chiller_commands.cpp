#include "pages/chiller/chiller_commands.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "link/frames.h"
#include "link/reply_reader.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/profile.h"

namespace pages::chiller {

namespace {

using devlink::Bytes;

constexpr uint8_t kCmdRead = 0x01;
constexpr uint8_t kCmdWrite = 0x02;

enum Tag : uint8_t {
  kTagContainer = 1,
  kTagReturnAir = 2,
  kTagSupplyAir = 3,
  kTagSetPoint = 4,
  kTagWorkMode = 5,
  kTagAlarmCodes = 6,
};

constexpr size_t kReadCapacity = 1024;
constexpr size_t kWriteCapacity = 8;

std::string Format2(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

}  // namespace

std::optional<ChillerState> DecodeRecords(devlink::ByteView payload) {
  ChillerState state;
  devlink::ReplyReader records(payload);
  while (records.remaining() > 0) {
    const uint8_t tag = records.U8();
    const size_t length = records.U8();
    const devlink::ByteView value = records.Take(length);
    if (!records.ok()) return std::nullopt;
    switch (tag) {
      case kTagContainer:
        state.container += devlink::DecodeLatin1Text(value);
        break;
      case kTagReturnAir:
      case kTagSupplyAir:
      case kTagSetPoint: {
        devlink::ReplyReader in(value);
        // A temperature that is no number is no reading: the whole reply is refused.
        const double number = in.FiniteFloat32Be();
        if (!in.ok()) return std::nullopt;
        const std::string text = Format2(number);
        if (tag == kTagReturnAir) state.returnAir = text;
        if (tag == kTagSupplyAir) state.supplyAir = text;
        if (tag == kTagSetPoint) state.setPoint = std::strtod(text.c_str(), nullptr);
        break;
      }
      case kTagWorkMode:
        if (value.empty()) return std::nullopt;
        if (value[0] < kUnknownMode) state.workMode = value[0];
        break;
      case kTagAlarmCodes:
        for (uint8_t code : value) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "%.3d ", code);
          state.alarmCodes += buffer;
        }
        break;
      default:
        break;  // unknown tags are skipped
    }
  }
  return state;
}

Values Describe(const ChillerState& state) {
  Values values{{"container", state.container},
                {"return-air", state.returnAir},
                {"supply-air", state.supplyAir}};
  if (state.setPoint) values.emplace_back("set-point", *state.setPoint);
  values.emplace_back("work-mode", int64_t{state.workMode});
  values.emplace_back("work-mode-text", std::string(kWorkModes[static_cast<size_t>(state.workMode)]));
  values.emplace_back("alarm-codes", state.alarmCodes);
  return values;
}

Result<ChillerState> ReadState(devlink::Channel& channel) {
  const Bytes request = devlink::BuildXorFrame(devlink::kXorRead, kCmdRead);
  const auto reply = RunExchange(channel, request, XorRule(kReadCapacity), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  std::optional<ChillerState> state = DecodeRecords(devlink::XorFramePayload(reply.value));
  if (!state) return Outcome::Failure(kReadFailed);
  return {{}, std::move(*state)};
}

Outcome WriteSetPoint(devlink::Channel& channel, double setPoint) {
  if (!std::isfinite(setPoint)) return Outcome::Refused(kNotANumber, "set-point");
  // Truncated toward zero, but a product that falls short of a whole number only by the binary
  // representation of a decimal input (-18.9 * 100 = -1889.9999999999998) counts as that number:
  // only real fractions of a hundredth are cut.
  const double scaled = setPoint * 100.0;
  const double nearest = std::round(scaled);
  const double hundredths = std::fabs(scaled - nearest) < 1e-6 ? nearest : std::trunc(scaled);
  if (hundredths < -32768.0 || hundredths > 32767.0) {
    return Outcome::Refused(kSetPointRange, "set-point");
  }
  const auto raw = static_cast<uint16_t>(static_cast<int16_t>(hundredths));
  const Bytes payload{static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw & 0xFF)};
  const Bytes request = devlink::BuildXorFrame(devlink::kXorWrite, kCmdWrite, payload);
  const auto reply = RunExchange(channel, request, XorRule(kWriteCapacity), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  // A reply without a status byte says nothing about the outcome.
  const devlink::ByteView status = devlink::XorFramePayload(reply.value);
  if (status.empty()) return Outcome::Failure(kWriteFailed);
  if (status[0] != 0) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "配置失败！错误代码：%d", status[0]);
    return Outcome::Failure(buffer).With("error-code", int64_t{status[0]});
  }
  return Outcome::Success(kWriteOk);
}

CommandSet Commands() {
  CommandSet set{"chiller", "chiller: reefer unit state and temperature set point", {}};
  set.commands.push_back(
      Verb("read", "read container number, air temperatures, set point, mode, alarm codes", {},
           [](devlink::Channel& channel, const Args&) { return ReadState(channel); }));
  set.commands.push_back(
      Verb("write", "write the temperature set point",
           {Number("set-point", "set temperature in °C (sent in hundredths, truncated)")},
           [](devlink::Channel& channel, const Args& args) {
             return WriteSetPoint(channel, args.Number("set-point"));
           }));
  // The set point is the unit's one setting; the rest of what the read gives is its state.
  AddProfile(set, {{{"read", "write"}}});
  return set;
}

}  // namespace pages::chiller
