#include "cli/options.h"

#include <charconv>

#include "link/socket_shim.h"

namespace cli {

namespace {
void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}
}  // namespace

bool ParseWords(const std::vector<std::string>& words, const std::set<std::string>& flags,
                ParsedWords& parsed, std::string* error,
                const std::set<std::string>& repeatable, std::string* option) {
  const auto fail = [&](const std::string& name, const char* what) {
    SetError(error, "--" + name + what);
    if (option) *option = name;
    return false;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() <= 2 || word.compare(0, 2, "--") != 0) {
      parsed.plain.push_back(word);
      continue;
    }
    std::string name = word.substr(2);
    std::optional<std::string> value;
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (flags.count(name)) {
      if (value) return fail(name, " takes no value");
      parsed.flags.insert(name);
      continue;
    }
    if (!value) {
      if (i + 1 >= words.size()) return fail(name, " needs a value");
      value = words[++i];
    }
    if (repeatable.count(name) != 0) {
      const auto [it, added] = parsed.options.emplace(name, *value);
      if (!added) it->second += "\n" + *value;
      continue;
    }
    if (!parsed.options.emplace(name, *value).second) return fail(name, " is given twice");
  }
  return true;
}

std::optional<int64_t> ParseInteger(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

const std::set<std::string>& CommonFlags() {
  static const std::set<std::string> flags = {"help", "fast", "fixed-delay", "trace"};
  return flags;
}

const std::set<std::string>& ConnectionOptionNames() {
  static const std::set<std::string> names = {"port",  "tcp",  "address", "delay",
                                              "baud", "fast", "fixed-delay", "trace"};
  return names;
}

bool TakeConnection(std::map<std::string, std::string>& options, bool withAddress,
                    Connection& connection, std::string* error, std::string* option) {
  const auto fail = [&](const char* name, std::string text) {
    SetError(error, std::move(text));
    if (option) *option = name;
    return false;
  };
  auto take = [&](const char* name) -> std::optional<std::string> {
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    std::string value = it->second;
    options.erase(it);
    return value;
  };
  const auto port = take("port");
  const auto tcp = take("tcp");
  const auto address = withAddress ? take("address") : std::nullopt;
  const auto delay = take("delay");
  const auto baud = take("baud");

  if (port.has_value() == tcp.has_value()) {
    return fail(tcp ? "tcp" : "port", "give either --port PATH or --tcp HOST:PORT");
  }
  if (port) {
    if (port->empty()) return fail("port", "--port needs a device path");
    connection.port = *port;
  } else {
    const size_t colon = tcp->rfind(':');
    const std::string host = colon == std::string::npos ? *tcp : tcp->substr(0, colon);
    const auto number =
        colon == std::string::npos ? std::nullopt : ParseInteger(tcp->substr(colon + 1), 1, 65535);
    if (!number || !devlink::net::IsIpv4Address(host)) {
      return fail("tcp", "--tcp wants HOST:PORT with a dotted IPv4 address, not \"" + *tcp + "\"");
    }
    connection.host = host;
    connection.tcpPort = static_cast<int32_t>(*number);
    if (baud) return fail("baud", "--baud applies only to a serial port (--port)");
  }
  if (address) {
    const auto value = ParseInteger(*address, 0, 255);
    if (!value) {
      return fail("address", "--address must be a number from 0 to 255, not \"" + *address + "\"");
    }
    connection.address = static_cast<int32_t>(*value);
  }
  if (delay) {
    const auto value = ParseInteger(*delay, 0, 600000);
    if (!value) {
      return fail("delay", "--delay must be milliseconds from 0 to 600000, not \"" + *delay + "\"");
    }
    connection.delayMs = static_cast<int32_t>(*value);
  }
  if (baud) {
    if (!ParseInteger(*baud, 1, 100000000)) {
      return fail("baud", "--baud must be a baud rate, not \"" + *baud + "\"");
    }
    connection.baud = *baud;
  }
  return true;
}

bool TakeLinkFlags(const std::set<std::string>& flags, Connection& connection,
                   std::string* error) {
  const bool fixed = flags.count("fixed-delay") != 0;
  if (fixed && flags.count("fast") != 0) {
    SetError(error, "--fast and --fixed-delay exclude each other");
    return false;
  }
  connection.fast = !fixed;
  connection.trace = flags.count("trace") != 0;
  return true;
}

void TraceWriter::OnExchange(const devlink::TrafficEntry& entry) {
  std::lock_guard lock(mutex_);
  out_ << "trace: " << devlink::FormatTrafficLine(entry) << std::endl;
}

bool OpenLink(const Connection& connection, devlink::DeviceLink& link, std::string* error,
              std::string* portDetail) {
  link.address = connection.address;
  link.mode = connection.address == 0 ? devlink::AddressingMode::Single
                                      : devlink::AddressingMode::Multi;
  link.delayMs = connection.delayMs;
  link.fast = connection.fast;
  link.baudText = connection.baud;
  if (connection.IsTcp()) {
    link.tcpMode = true;
    link.ip = *connection.host;
    link.tcpPort = connection.tcpPort;
    return true;
  }
  link.tcpMode = false;
  link.portName = *connection.port;
  devlink::PortOpenFailure failure;
  if (!link.serial.OpenPort(*connection.port, error, &failure)) {
    if (portDetail) *portDetail = devlink::PortOpenFailureText(failure);
    return false;
  }
  if (!link.serial.ConfigurePort(connection.baud, error)) {
    link.serial.ClosePort();
    return false;
  }
  return true;
}

}  // namespace cli
