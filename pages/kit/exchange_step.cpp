#include "pages/kit/exchange_step.h"

#include <algorithm>
#include <string>

#include "pages/kit/messages.h"

namespace pages {

using devlink::ByteView;
using devlink::FrameCheck;
using devlink::FrameFamily;

size_t ReplyRule::Capacity() const {
  if (capacity != 0) return capacity;
  return std::max(length, longest);
}

namespace {

ReplyRule Rule(FrameFamily family, size_t length, bool fromFrame = false, size_t capacity = 0) {
  ReplyRule rule;
  rule.family = family;
  rule.length = length;
  rule.fromFrame = fromFrame;
  rule.capacity = capacity;
  return rule;
}

}  // namespace

ReplyRule SumRule(size_t length) { return Rule(FrameFamily::Sum, length); }

ReplyRule SumRuleFromFrame(size_t shortest, size_t capacity) {
  return Rule(FrameFamily::Sum, shortest, true, capacity);
}

ReplyRule ModbusRule(size_t length) { return Rule(FrameFamily::Modbus, length); }

ReplyRule XorRule(size_t capacity) {
  return Rule(FrameFamily::Xor, devlink::kXorFrameOverhead, true, capacity);
}

ReplyRule RelayRule(devlink::RelayReply reply, size_t capacity) {
  ReplyRule rule = Rule(FrameFamily::Sum, reply.length, false, capacity);
  rule.relay = std::move(reply);
  rule.channelCheckValue = false;
  return rule;
}

Outcome SerialOnlyOutcome() {
  return Outcome::Failure({}).With("not-sent", std::string(kSerialOnlyNotSent));
}

ReplyRule NoReplyRule() {
  ReplyRule rule;
  rule.expectsReply = false;
  return rule;
}

ReplyRule UncheckedRule(size_t capacity, FrameFamily family) {
  ReplyRule rule = Rule(family, capacity);
  rule.checked = false;
  return rule;
}

namespace {

bool LengthAccepted(ByteView reply, const ReplyRule& rule) {
  if (rule.fromFrame) {
    if (reply.size() < rule.length) return false;
    if (rule.family == FrameFamily::Sum) {
      return reply.size() >= devlink::kSumFrameOverhead &&
             reply.size() == size_t{reply[4]} + devlink::kSumFrameOverhead;
    }
    return true;  // XorFrame: its own check compares the length last
  }
  if (rule.longest > rule.length) return reply.size() >= rule.length && reply.size() <= rule.longest;
  return reply.size() == rule.length;
}

// What the rule expected, for the words of a length failure.
std::string ExpectedLength(ByteView reply, const ReplyRule& rule) {
  if (rule.fromFrame) {
    if (rule.family == FrameFamily::Sum && reply.size() >= devlink::kSumFrameOverhead) {
      return std::to_string(size_t{reply[4]} + devlink::kSumFrameOverhead) + " (frame length)";
    }
    return "at least " + std::to_string(rule.length);
  }
  if (rule.longest > rule.length) {
    return std::to_string(rule.length) + ".." + std::to_string(rule.longest);
  }
  return std::to_string(rule.length);
}

}  // namespace

FrameCheck CheckReply(ByteView reply, ByteView request, const ReplyRule& rule,
                      bool acceptedByChannel) {
  if (!rule.expectsReply || !rule.checked) return FrameCheck::Ok;
  if (rule.relay) return devlink::CheckRelayReply(reply, *rule.relay);
  if (!LengthAccepted(reply, rule)) return FrameCheck::Length;
  if (acceptedByChannel && rule.channelRuleSuffices) return FrameCheck::Ok;
  switch (rule.family) {
    case FrameFamily::Sum: {
      devlink::SumReplyChecks checks;
      checks.start = rule.start;
      checks.echo = rule.echo;
      checks.end = rule.end;
      checks.ack = rule.ack.has_value();
      checks.ackByte = rule.ack.value_or(devlink::kAck);
      const uint8_t command = request.size() > 2 ? request[2] : 0;
      return devlink::CheckSumFrame(reply, command, reply.size(), checks);
    }
    case FrameFamily::Modbus: {
      // With the function check off, the reply's own function code stands in for the request's
      // (so a 0x03 reply's byte count is still checked unless that is off too).
      const uint8_t function = rule.echo ? (request.size() > 1 ? request[1] : 0)
                                         : (reply.size() > 1 ? reply[1] : 0);
      if (rule.byteCount || reply.size() < 4) {
        return devlink::CheckModbusFrame(reply, function, reply.size());
      }
      if (reply[1] != function) return FrameCheck::Echo;
      return devlink::ReplyPassesFamilyCheck(reply, FrameFamily::Modbus, true)
                 ? FrameCheck::Ok
                 : FrameCheck::Checksum;
    }
    case FrameFamily::Xor:
      return devlink::CheckXorFrame(reply, request);
  }
  return FrameCheck::Length;
}

namespace {

std::string FailureWords(ByteView reply, ByteView request, const ReplyRule& rule,
                         bool acceptedByChannel) {
  const FrameCheck check = CheckReply(reply, request, rule, acceptedByChannel);
  if (check == FrameCheck::Ok) return {};
  return devlink::CheckDetail(reply.size(), check, rule.family, ExpectedLength(reply, rule));
}

}  // namespace

std::string ReplyFailureText(ByteView reply, ByteView request, const ReplyRule& rule,
                             std::string_view failure, std::string_view checkFailure) {
  switch (CheckReply(reply, request, rule)) {
    case FrameCheck::Ok:
      return {};
    case FrameCheck::Checksum:
      return std::string(checkFailure);
    default:
      return std::string(failure);
  }
}

Result<devlink::Bytes> RunExchange(devlink::Channel& channel, ByteView request,
                                   const ReplyRule& rule, std::string_view failure,
                                   std::string_view checkFailure) {
  ReplyRule unchecked = rule;
  unchecked.checked = false;
  Result<devlink::Bytes> reply = RunExchange(channel, request, unchecked, failure);
  if (!reply.ok()) return reply;
  std::string text = ReplyFailureText(reply.value, request, rule, failure, checkFailure);
  if (!text.empty()) {
    Outcome outcome = Outcome::Failure(std::move(text));
    outcome.detail = FailureWords(reply.value, request, rule, false);
    return outcome;
  }
  return reply;
}

bool PortLost(const Outcome& outcome) {
  if (outcome.ok) return false;
  const std::string_view message = outcome.message;
  return message == kPortOpenFailed || message.starts_with(devlink::kPortVanishedPrefix);
}

Result<devlink::Bytes> RunExchange(devlink::Channel& channel, ByteView request,
                                   const ReplyRule& rule, std::string_view failure) {
  if (request.empty()) return Outcome::Failure(std::string(failure));
  devlink::ReplySpec spec;
  spec.family = rule.family;
  spec.capacity = rule.expectsReply ? rule.Capacity() : 0;
  spec.minimum = rule.expectsReply ? rule.Shortest() : 0;
  // Fast mode ends the read at the command's one expected length, or where the frame says: a
  // relay reply's byte 5, a SumFrame's byte 4 (a relay reply's byte 4 is no length).
  const bool byte5 = rule.relay && rule.relay->lengthFromByte5;
  const bool oneLength = !byte5 && !rule.fromFrame && rule.longest <= rule.length;
  spec.completion = {rule.family, oneLength ? rule.length : 0,
                     rule.lengthInHeader && !rule.relay, byte5};
  spec.serialDelayFactor = rule.serialDelayFactor;
  spec.serialDelayMs = rule.serialDelayMs;
  spec.serialOnly = rule.serialOnly;
  spec.checkSum = rule.channelCheckValue;
  // The channel reports the exchange with the words of the failed check, if any.
  spec.verdict = [&](ByteView reply, bool accepted) {
    return FailureWords(reply, request, rule, accepted);
  };
  devlink::ExchangeResult result = channel.Exchange(request, spec);
  auto failed = [&](std::string message) {
    Outcome outcome = Outcome::Failure(std::move(message));
    outcome.detail = result.detail;
    return outcome;
  };
  switch (result.status) {
    case devlink::ExchangeStatus::PortNotOpen:
      return failed(kPortOpenFailed);
    case devlink::ExchangeStatus::PortVanished:
      return failed(devlink::PortVanishedText(result.vanishedPort));
    case devlink::ExchangeStatus::SerialOnly:
      return SerialOnlyOutcome();
    case devlink::ExchangeStatus::NoReply:
      // Also for a request that expects no reply: on TCP that status means it could not be
      // delivered at all, which must not be reported as a success.
      return failed(std::string(failure));
    case devlink::ExchangeStatus::Ok:
      break;
  }
  if (CheckReply(result.reply, request, rule, result.acceptedByChannel) != FrameCheck::Ok) {
    // A channel that did not run the verdict (a scripted one) leaves the words to us.
    if (result.detail.empty()) {
      result.detail = FailureWords(result.reply, request, rule, result.acceptedByChannel);
    }
    return failed(std::string(failure));
  }
  return Result<devlink::Bytes>({}, std::move(result.reply));
}

Outcome DecodeFailure(std::string_view failure, const devlink::ReplyReader& in) {
  Outcome outcome = Outcome::Failure(std::string(failure));
  outcome.detail = in.ok() ? "reply not readable" : in.problem();
  return outcome;
}

uint16_t ReadIntervalMinutes(devlink::ReplyReader& in, std::string_view name) {
  const uint16_t minutes = in.U16Le();
  in.Require(!in.ok() || minutes >= 1, std::string(name) + " interval 0");
  return minutes;
}

}  // namespace pages
