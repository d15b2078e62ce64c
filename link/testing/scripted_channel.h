#pragma once
// A channel for command-module tests: each step names the request bytes expected and the reply
// bytes to give back. Unexpected requests are recorded and answered with nothing.
#include <deque>
#include <string>
#include <vector>

#include "link/exchange.h"

namespace devlink::testing {

struct ScriptStep {
  Bytes expectRequest;
  Bytes reply;
  ExchangeStatus status = ExchangeStatus::Ok;
};

class ScriptedChannel : public Channel {
 public:
  explicit ScriptedChannel(uint8_t address = 1) : address_(address) {}

  void Expect(Bytes request, Bytes reply, ExchangeStatus status = ExchangeStatus::Ok) {
    steps_.push_back({std::move(request), std::move(reply), status});
  }

  ExchangeResult Exchange(ByteView request, const ReplySpec& spec) override {
    specs_.push_back(spec);
    if (acceptsLikeTcp_ && spec.serialOnly) return {ExchangeStatus::SerialOnly, {}};
    sent_.emplace_back(request.begin(), request.end());
    if (steps_.empty()) {
      mismatches_.push_back("unexpected request");
      return {ExchangeStatus::NoReply, {}};
    }
    ScriptStep step = std::move(steps_.front());
    steps_.pop_front();
    if (!step.expectRequest.empty() && step.expectRequest != sent_.back()) {
      mismatches_.push_back("request differs from the script");
    }
    Bytes reply = std::move(step.reply);
    if (reply.size() > spec.capacity) reply.resize(spec.capacity);
    if (acceptsLikeTcp_ && step.status == ExchangeStatus::Ok) {
      // As the TCP channel: a reply below the minimum or failing the family's start byte and
      // check value is no reply at all; one that passes is handed over as accepted.
      const size_t minimum = spec.minimum.value_or(spec.capacity);
      if (reply.size() < minimum || !ReplyPassesFamilyCheck(reply, spec.family, spec.checkSum)) {
        return {ExchangeStatus::NoReply, {}};
      }
      return {ExchangeStatus::Ok, std::move(reply), true};
    }
    return {step.status, std::move(reply)};
  }
  // Replies are handed over as the TCP channel hands them: checked by its own acceptance rule;
  // serial-only requests are not sent at all.
  void AcceptLikeTcp(bool on = true) { acceptsLikeTcp_ = on; }
  uint8_t DeviceAddress() const override { return address_; }

  const std::vector<Bytes>& Sent() const { return sent_; }
  const std::vector<ReplySpec>& Specs() const { return specs_; }
  // Empty when every request matched its step and every step was used.
  std::vector<std::string> Problems() const {
    auto p = mismatches_;
    if (!steps_.empty()) p.push_back("script steps left unused");
    return p;
  }

 private:
  uint8_t address_;
  bool acceptsLikeTcp_ = false;
  std::deque<ScriptStep> steps_;
  std::vector<Bytes> sent_;
  std::vector<ReplySpec> specs_;
  std::vector<std::string> mismatches_;
};

}  // namespace devlink::testing
