#include "pages/chiller/chiller_commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "link/frames.h"

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

// One byte as one character: bytes above 0x7F stand for the Latin-1 character of that code.
void AppendCharacter(std::string& text, uint8_t byte) {
  if (byte < 0x80) {
    text.push_back(static_cast<char>(byte));
  } else {
    text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
    text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
  }
}

devlink::ReplySpec Spec(size_t capacity) {
  devlink::ReplySpec spec;
  spec.capacity = capacity;
  spec.family = devlink::FrameFamily::Xor;
  spec.minimum = devlink::kXorFrameOverhead;
  return spec;
}

}  // namespace

std::optional<ChillerState> DecodeRecords(devlink::ByteView payload) {
  ChillerState state;
  size_t p = 0;
  while (p < payload.size()) {
    if (payload.size() - p < 2) return std::nullopt;
    const uint8_t tag = payload[p];
    const size_t length = payload[p + 1];
    if (payload.size() - p - 2 < length) return std::nullopt;
    const devlink::ByteView value = payload.subspan(p + 2, length);
    switch (tag) {
      case kTagContainer:
        for (uint8_t byte : value) {
          if (byte != 0) AppendCharacter(state.container, byte);
        }
        break;
      case kTagReturnAir:
      case kTagSupplyAir:
      case kTagSetPoint: {
        if (value.size() < 4) return std::nullopt;
        const double number = devlink::DecodeFloat32Be(value.data());
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
    p += length + 2;
  }
  return state;
}

Outcome ReadState(devlink::Channel& channel, ChillerState& out) {
  const Bytes request = devlink::BuildXorFrame(devlink::kXorRead, kCmdRead);
  const devlink::ExchangeResult result = channel.Exchange(request, Spec(kReadCapacity));
  if (result.status == devlink::ExchangeStatus::PortNotOpen) {
    return Outcome::Failure(devlink::kPortOpenFailed);
  }
  if (result.status != devlink::ExchangeStatus::Ok ||
      devlink::CheckXorFrame(result.reply, request) != devlink::FrameCheck::Ok) {
    return Outcome::Failure(kReadFailed);
  }
  const std::optional<ChillerState> state = DecodeRecords(devlink::XorFramePayload(result.reply));
  if (!state) return Outcome::Failure(kReadFailed);
  out = *state;
  Outcome outcome = Outcome::Success({});
  outcome.With("container", out.container)
      .With("return-air", out.returnAir)
      .With("supply-air", out.supplyAir);
  if (out.setPoint) outcome.With("set-point", *out.setPoint);
  outcome.With("work-mode", int64_t{out.workMode})
      .With("work-mode-text", std::string(kWorkModes[static_cast<size_t>(out.workMode)]))
      .With("alarm-codes", out.alarmCodes);
  return outcome;
}

Outcome WriteSetPoint(devlink::Channel& channel, double setPoint) {
  if (!std::isfinite(setPoint)) return Outcome::Failure(kNotANumber, "set-point");
  // Truncated toward zero, but a product that falls short of a whole number only by the binary
  // representation of a decimal input (-18.9 * 100 = -1889.9999999999998) counts as that number:
  // only real fractions of a hundredth are cut.
  const double scaled = setPoint * 100.0;
  const double nearest = std::round(scaled);
  const double hundredths = std::fabs(scaled - nearest) < 1e-6 ? nearest : std::trunc(scaled);
  if (hundredths < -32768.0 || hundredths > 32767.0) {
    return Outcome::Failure(kSetPointRange, "set-point");
  }
  const auto raw = static_cast<uint16_t>(static_cast<int16_t>(hundredths));
  const Bytes payload{static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw & 0xFF)};
  const Bytes request = devlink::BuildXorFrame(devlink::kXorWrite, kCmdWrite, payload);
  const devlink::ExchangeResult result = channel.Exchange(request, Spec(kWriteCapacity));
  if (result.status == devlink::ExchangeStatus::PortNotOpen) {
    return Outcome::Failure(devlink::kPortOpenFailed);
  }
  if (result.status != devlink::ExchangeStatus::Ok ||
      devlink::CheckXorFrame(result.reply, request) != devlink::FrameCheck::Ok) {
    return Outcome::Failure(kWriteFailed);
  }
  // A reply without a status byte says nothing about the outcome.
  const devlink::ByteView status = devlink::XorFramePayload(result.reply);
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
  set.commands.push_back({"read",
                          "read container number, air temperatures, set point, mode, "
                          "alarm codes",
                          {},
                          [](devlink::Channel& channel, const Args&) {
                            ChillerState state;
                            return ReadState(channel, state);
                          }});
  set.commands.push_back(
      {"write",
       "write the temperature set point",
       {{"set-point", "set temperature in °C (sent in hundredths, truncated)"}},
       [](devlink::Channel& channel, const Args& args) {
         auto it = args.find("set-point");
         const std::string text = it == args.end() ? std::string() : it->second;
         double value = 0.0;
         auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
         if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
           return Outcome::Failure(kNotANumber, "set-point");
         }
         return WriteSetPoint(channel, value);
       }});
  return set;
}

}  // namespace pages::chiller
