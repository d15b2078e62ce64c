// Fuzz target: a gateway's answers. Byte 0 picks the command whose answer the rest of the input
// is (read, clear, bind, delete, report interval, alarm limits; bit 3: no answer in time), the
// rest is the answer: the bound-logger list or the echo of a configuration frame. A list that
// parses must hold one SN of 9 characters per 4 bytes at most, without empty slots, and never
// more loggers than a gateway binds.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_channel.h"
#include "server/gateway_commands.h"

namespace {

using fuzzing::Check;

gateway::GatewayRequest RequestOf(uint8_t pick) {
  const std::string sn = "12AB34567";
  switch (pick % 6) {
    case 0: return gateway::ReadRequest();
    case 1: return gateway::ClearRequest();
    case 2: return gateway::BindRequest(sn, 0).value;
    case 3: return gateway::DeleteRequest(sn);
    case 4: return gateway::IntervalRequest(sn, "5").value;
    default: return gateway::LimitsRequest(sn, "25.5", "-20", "90", "10").value;
  }
}

void CheckList(const std::vector<std::string>& sns, size_t replySize) {
  Check(sns.size() <= replySize / 4);
  for (const std::string& sn : sns) {
    Check(sn.size() == gateway::kSnLengthChars && sn != gateway::kEmptySlotSn);
    fuzzing::CheckUtf8(sn, "logger SN");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const gateway::Bytes reply(data + 1, data + size);
  const auto parsed = gateway::ParseLoggerList(reply);
  // Whole 4-byte slots parse, unless more loggers are listed than a gateway binds.
  if (reply.size() % 4 != 0) Check(!parsed.has_value());
  if (reply.size() % 4 == 0 && reply.size() / 4 <= static_cast<size_t>(gateway::kMaxLoggers)) {
    Check(parsed.has_value());
  }
  if (parsed) Check(parsed->size() <= static_cast<size_t>(gateway::kMaxLoggers));
  if (parsed) CheckList(*parsed, reply.size());

  const gateway::GatewayRequest request = RequestOf(data[0]);
  Check(!request.bytes.empty());
  gateway::CommandReply answer;
  answer.command = request.command;
  answer.answered = (data[0] & 0x08) == 0;
  answer.reply = reply;
  const gateway::CommandResult result = gateway::Evaluate(request, answer);
  fuzzing::CheckUtf8(result.outcome.message, "gateway message", false);
  if (result.loggers) CheckList(*result.loggers, reply.size());
  if (parsed) {
    for (int command : {gateway::kReadLoggers, gateway::kClearLoggers, gateway::kBindLogger,
                        gateway::kDeleteLogger}) {
      fuzzing::CheckUtf8(gateway::ListReplyMessage(command, *parsed, request.sn), "list message", false);
    }
  }
  (void)gateway::IsAcknowledgement(request.bytes, reply);
  return 0;
}
