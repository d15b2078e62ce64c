#include "server/gateway_commands.h"

namespace gateway {

namespace {

bool IsListCommand(int command) {
  return command == kReadLoggers || command == kClearLoggers || command == kBindLogger ||
         command == kDeleteLogger;
}

}  // namespace

GatewayRequest ReadRequest() { return {kReadLoggers, ReadCommand(), ""}; }

GatewayRequest ClearRequest() { return {kClearLoggers, ClearCommand(), ""}; }

pages::Result<GatewayRequest> BindRequest(std::string_view snText, size_t listed) {
  auto sn = CheckSn(snText);
  if (!sn.ok()) return sn.outcome;
  if (listed >= kMaxLoggers) return pages::Outcome::Failure(kCannotBindMore);
  return {"", GatewayRequest{kBindLogger, BindCommand(LoggerIdFromSn(sn.value)), sn.value}};
}

GatewayRequest DeleteRequest(const std::string& sn) {
  return {kDeleteLogger, DeleteCommand(LoggerIdFromSn(sn)), sn};
}

pages::Result<GatewayRequest> IntervalRequest(const std::string& sn, std::string_view minutes) {
  const auto interval = CheckInterval(minutes);
  if (!interval.ok()) return interval.outcome;
  return {"", GatewayRequest{kSetReportInterval,
                             ReportIntervalFrame(LoggerIdFromSn(sn),
                                                 static_cast<uint8_t>(interval.value)),
                             sn}};
}

pages::Result<GatewayRequest> LimitsRequest(const std::string& sn, std::string_view tempUpper,
                                            std::string_view tempLower,
                                            std::string_view humidityUpper,
                                            std::string_view humidityLower) {
  const auto limits = CheckLimits(tempUpper, tempLower, humidityUpper, humidityLower);
  if (!limits.ok()) return limits.outcome;
  return {"", GatewayRequest{kSetAlarmLimits, AlarmLimitsFrame(LoggerIdFromSn(sn), limits.value),
                             sn}};
}

CommandResult Evaluate(const GatewayRequest& request, const CommandReply& reply) {
  CommandResult result;
  if (!reply.answered) {
    result.outcome = pages::Outcome::Failure(kOperationFailed);
    result.outcome.detail = "no reply";
    return result;
  }
  if (!IsListCommand(request.command)) {
    const bool echoed = IsAcknowledgement(request.bytes, reply.reply);
    result.outcome = echoed ? pages::Outcome::Success(kOperationOk)
                            : pages::Outcome::Failure(kOperationFailed);
    return result;
  }
  std::string problem;
  result.loggers = ParseLoggerList(reply.reply, &problem);
  if (!result.loggers) {
    result.outcome = pages::Outcome::Failure(kParseFailed);
    result.outcome.detail = problem;
    return result;
  }
  const std::string message = ListReplyMessage(request.command, *result.loggers, request.sn);
  result.outcome = message == kOperationFailed ? pages::Outcome::Failure(message)
                                               : pages::Outcome::Success(message);
  return result;
}

}  // namespace gateway
