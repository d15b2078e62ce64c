#pragma once
// Command-line words of tool-cli: "--name value" options, flags and plain words, and the
// connection options every command takes.
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/device_link.h"

namespace cli {

struct ParsedWords {
  std::map<std::string, std::string> options;  // name without "--" -> value
  std::set<std::string> flags;                 // flags that were given
  std::vector<std::string> plain;              // words that are neither
};

// Every "--name" takes the next word as its value, whatever it looks like ("--temp-lower -10.5"),
// except the names in `flags`; "--name=value" works too. Fails on a missing value or an option
// given twice, unless its name is in `repeatable`: then its values are joined by '\n'. On a
// failure `option` gets the name of the option at fault.
bool ParseWords(const std::vector<std::string>& words, const std::set<std::string>& flags,
                ParsedWords& parsed, std::string* error,
                const std::set<std::string>& repeatable = {}, std::string* option = nullptr);

// Decimal integer within [low, high], the whole text.
std::optional<int64_t> ParseInteger(const std::string& text, int64_t low, int64_t high);

// Where and how to reach the instrument.
struct Connection {
  std::optional<std::string> port;  // serial device path
  std::optional<std::string> host;  // TCP: dotted IPv4 address
  int32_t tcpPort = 0;
  int32_t address = 1;
  int32_t delayMs = 600;
  std::string baud = "9600";
  // Take a reply the moment it is whole (the exchange delay is the longest wait); tool-cli's
  // default. --fixed-delay waits the whole delay before reading, as the window does by default.
  bool fast = true;
  bool trace = false;  // write every exchange to standard error
  bool IsTcp() const { return host.has_value(); }
};

// The flags every command takes besides its options: "help", "fast", "fixed-delay", "trace".
const std::set<std::string>& CommonFlags();
// Takes "fast", "fixed-delay" and "trace" from the parsed flags. Fast mode is the default;
// "fast" is still taken so that scripts written before stay valid. False with the reason when
// both "fast" and "fixed-delay" are given.
bool TakeLinkFlags(const std::set<std::string>& flags, Connection& connection,
                   std::string* error);

// Names of the connection options; command arguments never use them.
const std::set<std::string>& ConnectionOptionNames();

// Moves the connection options out of `options` and checks them: exactly one of --port and
// --tcp HOST:PORT, --address 0..255 (when `withAddress`), --delay in milliseconds, --baud only
// with --port. On a failure `option` gets the name of the option at fault.
bool TakeConnection(std::map<std::string, std::string>& options, bool withAddress,
                    Connection& connection, std::string* error, std::string* option = nullptr);

// Applies the connection to a link; for a serial port opens and configures it. False with the
// reason when the port cannot be opened or set; when the port could not be opened at all,
// `portDetail` also gets the notice with its cause ("端口已打开（无权限：…）").
bool OpenLink(const Connection& connection, devlink::DeviceLink& link, std::string* error,
              std::string* portDetail = nullptr);

// --trace: one line per exchange on the stream, in the traffic window's words.
class TraceWriter : public devlink::TrafficObserver {
 public:
  explicit TraceWriter(std::ostream& out) : out_(out) {}
  void OnExchange(const devlink::TrafficEntry& entry) override;
  // Points the link at this writer when the connection asks for a trace.
  void Attach(const Connection& connection, devlink::DeviceLink& link) {
    link.traffic = connection.trace ? this : nullptr;
  }

 private:
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace cli
