#pragma once
// `tool-cli raw`: one frame out, the reply back, both as hex, and which frame check the reply
// fails.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "link/frames.h"

namespace cli {

// `words` follow "raw". Returns an exit code of cli::ExitCode.
int RunRaw(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
void PrintRawHelp(std::ostream& out);

// The frame family of a request: the one whose check value was appended, else by the start byte
// ('%' SumFrame, '{' XorFrame), else ModbusFrame when the request ends in its own CRC.
std::optional<devlink::FrameFamily> RequestFamily(devlink::ByteView request,
                                                  std::optional<devlink::FrameFamily> appended);
// "SumFrame ok", "ModbusFrame fails: echoed command", ... A SumFrame reply is checked against
// the length in its byte 4, a Modbus reply against the length its function implies.
std::string DescribeReplyCheck(devlink::ByteView request, devlink::ByteView reply,
                               devlink::FrameFamily family);

}  // namespace cli
