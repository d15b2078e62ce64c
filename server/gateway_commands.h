#pragma once
// The page's commands towards one gateway, Qt-free, so the page and tool-cli build the same
// requests, refuse the same input and read a reply the same way.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/gateway_protocol.h"
#include "server/gateway_server.h"

namespace gateway {

struct GatewayRequest {
  int command = kNoCommand;
  Bytes bytes;
  std::string sn;  // the logger a bind or delete looks for in the list reply
};

GatewayRequest ReadRequest();
GatewayRequest ClearRequest();
// Refuses a bad SN, and any bind while `listed` loggers already fill the gateway.
pages::Result<GatewayRequest> BindRequest(std::string_view snText, size_t listed);
GatewayRequest DeleteRequest(const std::string& sn);
pages::Result<GatewayRequest> IntervalRequest(const std::string& sn, std::string_view minutes);
pages::Result<GatewayRequest> LimitsRequest(const std::string& sn, std::string_view tempUpper,
                                            std::string_view tempLower,
                                            std::string_view humidityUpper,
                                            std::string_view humidityLower);

struct CommandResult {
  pages::Outcome outcome;
  // The gateway's bound loggers when a list reply parsed; the lists show them, whatever the
  // outcome says.
  std::optional<std::vector<std::string>> loggers;
};

// What the way a command ended means: no reply "操作失败"; a list reply that does not parse
// "解析失败"; otherwise the command's own rule (ListReplyMessage, or the echo of a frame).
CommandResult Evaluate(const GatewayRequest& request, const CommandReply& reply);

}  // namespace gateway
