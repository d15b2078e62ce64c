#include "cli/raw_command.h"

#include "cli/cli.h"
#include "cli/hex.h"
#include "cli/options.h"
#include "link/exchange.h"

namespace cli {

namespace {

using devlink::Bytes;
using devlink::ByteView;
using devlink::FrameFamily;

const char* FamilyName(FrameFamily family) {
  switch (family) {
    case FrameFamily::Sum: return "SumFrame";
    case FrameFamily::Modbus: return "ModbusFrame";
    case FrameFamily::Xor: return "XorFrame";
  }
  return "frame";
}

void Append(Bytes& request, FrameFamily family) {
  const auto size = static_cast<int32_t>(request.size());
  switch (family) {
    case FrameFamily::Sum: request.push_back(devlink::Sum8(request.data(), size)); break;
    case FrameFamily::Modbus: devlink::AppendCrc16(request); break;
    case FrameFamily::Xor: request.push_back(devlink::Xor8(request.data(), size, 0)); break;
  }
}

int Usage(std::ostream& err, const std::string& message) {
  err << "tool-cli raw: " << message << "\n";
  return kExitUsage;
}

}  // namespace

void PrintRawHelp(std::ostream& out) {
  out << "raw - send one frame and show the reply\n"
         "  tool-cli raw --port PATH [--baud 9600] [--delay 600] [--capacity 392]\n"
         "               [--fixed-delay] [--trace] [--append sum|crc|xor] HEX...\n"
         "  tool-cli raw --tcp HOST:PORT [--delay 600] [--capacity 392] [--min 1] [--no-sum]\n"
         "               [--fixed-delay] [--trace] [--append sum|crc|xor] HEX...\n"
         "    HEX           request bytes in hexadecimal, blanks optional (\"25 01 0C AA 00 66\")\n"
         "    --append F    add the check value: sum (Sum8), crc (CRC-16 low byte first), xor\n"
         "    --capacity N  reply buffer size; a longer reply is cut (serial reads at most 392)\n"
         "    --min N       TCP: least reply length accepted (default 1)\n"
         "    --no-sum      TCP: accept a reply without checking its check value\n"
         "  Prints the request and the reply in hex and the frame check the reply fails.\n"
         "  Exit 0 when a reply arrived, 1 when none did, 2 for bad arguments.\n";
}

std::optional<FrameFamily> RequestFamily(ByteView request, std::optional<FrameFamily> appended) {
  if (appended) return appended;
  if (request.empty()) return std::nullopt;
  if (request[0] == devlink::kSumRequestStart) return FrameFamily::Sum;
  if (request[0] == devlink::kXorStart) return FrameFamily::Xor;
  if (request.size() >= 4 && devlink::ReplyPassesFamilyCheck(request, FrameFamily::Modbus, true)) {
    return FrameFamily::Modbus;
  }
  return std::nullopt;
}

namespace {

devlink::FrameCheck ReplyCheck(ByteView request, ByteView reply, FrameFamily family) {
  devlink::FrameCheck check = devlink::FrameCheck::Length;
  switch (family) {
    case FrameFamily::Sum:
      check = devlink::CheckSumFrameVariable(reply, request.size() > 2 ? request[2] : 0,
                                             devlink::kSumFrameOverhead - 1);
      break;
    case FrameFamily::Modbus:
      if (const size_t length = devlink::FrameLength(reply, FrameFamily::Modbus)) {
        check = devlink::CheckModbusFrame(reply, request.size() > 1 ? request[1] : 0, length);
      } else {
        check = devlink::CheckModbusFrame(reply, request.size() > 1 ? request[1] : 0, reply.size());
      }
      break;
    case FrameFamily::Xor:
      check = devlink::CheckXorFrame(reply, request);
      break;
  }
  return check;
}

// The traffic entry's words for a reply that fails its family's checks; empty when it passes.
std::string ReplyCheckWords(ByteView request, ByteView reply, FrameFamily family) {
  return devlink::CheckDetail(reply.size(), ReplyCheck(request, reply, family), family);
}

}  // namespace

std::string DescribeReplyCheck(ByteView request, ByteView reply, FrameFamily family) {
  const devlink::FrameCheck check = ReplyCheck(request, reply, family);
  std::string text = FamilyName(family);
  if (check == devlink::FrameCheck::Ok) return text + " ok";
  return text + " fails: " + devlink::FrameCheckName(check);
}

int RunRaw(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  ParsedWords parsed;
  std::string error;
  std::set<std::string> flags = CommonFlags();
  flags.insert("no-sum");
  if (!ParseWords(words, flags, parsed, &error)) return Usage(err, error);
  if (parsed.flags.count("help")) {
    PrintRawHelp(out);
    return kExitOk;
  }
  Connection connection;
  if (!TakeConnection(parsed.options, /*withAddress=*/false, connection, &error)) {
    return Usage(err, error);
  }
  if (!TakeLinkFlags(parsed.flags, connection, &error)) return Usage(err, error);

  std::optional<FrameFamily> appended;
  if (const auto it = parsed.options.find("append"); it != parsed.options.end()) {
    if (it->second == "sum") {
      appended = FrameFamily::Sum;
    } else if (it->second == "crc") {
      appended = FrameFamily::Modbus;
    } else if (it->second == "xor") {
      appended = FrameFamily::Xor;
    } else {
      return Usage(err, "--append takes sum, crc or xor, not \"" + it->second + "\"");
    }
    parsed.options.erase(it);
  }
  size_t capacity = devlink::kSerialReadLimit;
  if (const auto it = parsed.options.find("capacity"); it != parsed.options.end()) {
    const auto value = ParseInteger(it->second, 1, 65536);
    if (!value) return Usage(err, "--capacity must be a number from 1 to 65536");
    capacity = static_cast<size_t>(*value);
    parsed.options.erase(it);
  }
  std::optional<int32_t> minimum;
  if (const auto it = parsed.options.find("min"); it != parsed.options.end()) {
    const auto value = ParseInteger(it->second, 1, 65536);
    if (!value) return Usage(err, "--min must be a number from 1 to 65536");
    minimum = static_cast<int32_t>(*value);
    parsed.options.erase(it);
  }
  const bool checkSum = parsed.flags.count("no-sum") == 0;
  if (!parsed.options.empty()) {
    return Usage(err, "unknown option --" + parsed.options.begin()->first);
  }
  if (!connection.IsTcp() && (minimum || !checkSum)) {
    return Usage(err, "--min and --no-sum apply only with --tcp");
  }
  auto request = ParseHex(parsed.plain, &error);
  if (!request) return Usage(err, error);
  if (request->empty()) return Usage(err, "no request bytes given (HEX...)");
  if (appended) Append(*request, *appended);
  const std::optional<FrameFamily> family = RequestFamily(*request, appended);

  TraceWriter trace(err);
  devlink::DeviceLink link;
  std::string portDetail;
  if (!OpenLink(connection, link, &error, &portDetail)) {
    err << "tool-cli raw: " << error << "\n";
    if (!portDetail.empty()) err << "tool-cli raw: " << portDetail << "\n";
    return kExitFailed;
  }
  trace.Attach(connection, link);
  out << "request: " << FormatHex(*request) << "\n";

  devlink::ReplySpec spec;
  spec.capacity = capacity;
  spec.family = family.value_or(FrameFamily::Sum);
  spec.minimum = static_cast<size_t>(minimum.value_or(1));
  spec.checkSum = checkSum;
  // Fast mode: the reply is whole when its own header says so.
  spec.completion = {family.value_or(FrameFamily::Sum), 0};
  spec.verdict = [&](ByteView reply, bool) {
    return family ? ReplyCheckWords(*request, reply, *family) : std::string();
  };
  const devlink::ExchangeResult result = devlink::Exchange(link, *request, spec);
  const Bytes& reply = result.reply;

  if (reply.empty()) {
    out << "reply:   (none)\n";
    if (!result.detail.empty()) out << "check:   " << result.detail << "\n";
    return kExitFailed;
  }
  out << "reply:   " << FormatHex(reply) << "\n";
  out << "check:   "
      << (family ? DescribeReplyCheck(*request, reply, *family) : "frame family not recognised")
      << "\n";
  return kExitOk;
}

}  // namespace cli
