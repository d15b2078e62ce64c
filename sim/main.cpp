// tool-sim: a simulated instrument on a pseudo-terminal and, optionally, a loopback TCP port;
// on Windows, which has no pseudo-terminals, on a loopback TCP port alone.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include <fstream>
#include <sstream>

#include "sim/families/channel_curves.h"
#include "sim/families/history.h"
#include "sim/gateway_fleet.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "sim/stop_request.h"
#include "sim/tcp_transport.h"
#include "tool_version.h"

namespace {

constexpr char kPtyUsage[] =
    "usage: tool-sim [options]\n"
    "  --link PATH      also make a symbolic link to the pseudo-terminal at PATH\n"
    "  --no-pty         no pseudo-terminal (use with --tcp)\n"
    "  --tcp PORT       listen on 127.0.0.1:PORT as a network module (0: any free port)\n";
// Windows has no pseudo-terminals: TCP is the transport, on a free port unless --tcp says.
constexpr char kTcpOnlyUsage[] =
    "usage: tool-sim [options]\n"
    "  --tcp PORT       listen on 127.0.0.1:PORT as a network module (default 0: any free\n"
    "                   port, printed at start). This system has no pseudo-terminals, so TCP\n"
    "                   is the only transport: --no-pty is implied, --link is refused.\n";
constexpr char kOptionsUsage[] =
    "  --address N      instrument address 1..255 (default 1)\n"
    "  --baud B         send replies at the character time of B baud (10 bits per byte)\n"
    "  --latency MS     answer MS milliseconds after each request\n"
    "  --split N        send each reply in two pieces, the first N bytes long\n"
    "  --gap MS         pause between the two pieces (with --split)\n"
    "  --silent         never answer\n"
    "  --wrong-sum      spoil the check value of every reply\n"
    "  --wrong-echo     change the echoed command of every reply\n"
    "  --wrong-end      change the end marker of every '<' reply\n"
    "  --short N        cut every reply to N bytes\n"
    "  --extra N        append N filler bytes to every reply\n"
    "  --log            print each request and its reply as hex on stderr\n"
    "  --version        print the version and exit\n"
    "  --history-count N       stored history records (default 25)\n"
    "  --history-block BYTES   bytes of a full history block (default 360: 40 records)\n"
    "  --history-fail-block K  never answer history block K\n"
    "  --history-silent-from K answer no history block from block K on (gone silent)\n"
    "  --gprs-values N         values per line announced by the GPRS stream (default 2)\n"
    "  --gprs-text FILE        the GPRS stream's text lines from FILE (LF becomes CR LF)\n"
    "  --gateway HOST:PORT     play wireless-logger gateways that connect to the gateway server\n"
    "                          at HOST:PORT (no pseudo-terminal or TCP port then)\n"
    "  --gateways N            how many gateways (default 1)\n"
    "  --gateway-mode MODE     normal, silent (never answers), garbage (answers 7 bytes that\n"
    "                          are no list) or trickle (also sends a byte on its own now and then)\n"
    "  --gateway-loggers N     loggers bound to each gateway at start (0..60, default 0)\n"
    "  --trickle-ms MS         period of the trickle mode's bytes (default 2000)\n"
    "  --curve-kind K          answer 0x07/0x03 with per-channel curves of kind 1, 3 or 4\n"
    "                          (default: the fixed calibration tables); live values are\n"
    "                          answered for kind 0, 1, 3, 4, 6 or 7\n"
    "The Bluetooth logger behind the simulated adapter has the MAC 00:1A:7D:DA:71:13.\n"
    "Runs until interrupted (Ctrl-C) or terminated.\n";

std::string Usage() {
  return std::string(sim::PtyServer::Available() ? kPtyUsage : kTcpOnlyUsage) + kOptionsUsage;
}

struct Options {
  std::string link;
  bool pty = true;
  std::optional<int> tcpPort;
  int address = 1;
  int baud = 0;
  bool log = false;
  sim::Faults faults;
  sim::HistoryState history;
  std::optional<sim::GatewayFleetOptions> gateways;
  int curveKind = -1;
};


std::string GprsText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::cerr << "tool-sim: cannot read " << path << "\n";
    std::exit(2);
  }
  std::stringstream content;
  content << file.rdbuf();
  std::string text;
  for (char c : content.str()) {
    if (c == '\r') continue;
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

[[noreturn]] void BadArguments(const std::string& message) {
  std::cerr << "tool-sim: " << message << "\n" << Usage();
  std::exit(2);
}

int Number(const std::string& option, const char* text, long min, long max) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || value < min || value > max) {
    BadArguments(option + " needs a number from " + std::to_string(min) + " to " +
                 std::to_string(max) + ", not \"" + text + "\"");
  }
  return static_cast<int>(value);
}

sim::GatewayFleetOptions& Gateways(Options& o) {
  if (!o.gateways) o.gateways.emplace();
  return *o.gateways;
}

void ParseHostPort(const std::string& text, sim::GatewayFleetOptions& fleet) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    BadArguments("--gateway needs HOST:PORT, not \"" + text + "\"");
  }
  fleet.host = text.substr(0, colon);
  fleet.port = static_cast<uint16_t>(Number("--gateway", text.c_str() + colon + 1, 1, 65535));
}

sim::GatewayMode GatewayModeNamed(const std::string& name) {
  if (name == "normal") return sim::GatewayMode::Normal;
  if (name == "silent") return sim::GatewayMode::Silent;
  if (name == "garbage") return sim::GatewayMode::Garbage;
  if (name == "trickle") return sim::GatewayMode::Trickle;
  BadArguments("--gateway-mode takes normal, silent, garbage or trickle, not \"" + name + "\"");
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) BadArguments(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << Usage();
      std::exit(0);
    } else if (arg == "--version") {
      std::cout << "tool-sim " << TOOL_VERSION << "\n";
      std::exit(0);
    } else if (arg == "--link") {
      if (!sim::PtyServer::Available()) {
        BadArguments("--link: this system has no pseudo-terminals; tool-sim serves over TCP "
                     "here (--tcp PORT)");
      }
      o.link = value();
    } else if (arg == "--no-pty") {
      o.pty = false;
    } else if (arg == "--tcp") {
      o.tcpPort = Number(arg, value(), 0, 65535);
    } else if (arg == "--address") {
      o.address = Number(arg, value(), 1, 255);
    } else if (arg == "--baud") {
      o.baud = Number(arg, value(), 1, 4000000);
    } else if (arg == "--latency") {
      o.faults.latencyMs = Number(arg, value(), 0, 600000);
    } else if (arg == "--split") {
      o.faults.splitAt = static_cast<size_t>(Number(arg, value(), 1, 65535));
    } else if (arg == "--gap") {
      o.faults.splitGapMs = Number(arg, value(), 0, 600000);
    } else if (arg == "--silent") {
      o.faults.silent = true;
    } else if (arg == "--wrong-sum") {
      o.faults.wrongSum = true;
    } else if (arg == "--wrong-echo") {
      o.faults.wrongEcho = true;
    } else if (arg == "--wrong-end") {
      o.faults.wrongEnd = true;
    } else if (arg == "--short") {
      o.faults.truncateTo = static_cast<size_t>(Number(arg, value(), 1, 65535));
    } else if (arg == "--extra") {
      o.faults.extraBytes = static_cast<size_t>(Number(arg, value(), 1, 65535));
    } else if (arg == "--history-count") {
      o.history.recordCount = Number(arg, value(), 0, 32767);
    } else if (arg == "--history-block") {
      o.history.blockSize = Number(arg, value(), 9, 32767);
    } else if (arg == "--curve-kind") {
      o.curveKind = Number(arg, value(), 0, 7);
      if (o.curveKind == 2 || o.curveKind == 5) {
        BadArguments("--curve-kind takes 0, 1, 3, 4, 6 or 7");
      }
    } else if (arg == "--history-fail-block") {
      o.history.failBlock = Number(arg, value(), 1, 65535);
    } else if (arg == "--history-silent-from") {
      o.history.silentFrom = Number(arg, value(), 1, 65535);
    } else if (arg == "--gprs-values") {
      o.history.valueCount = static_cast<uint8_t>(Number(arg, value(), 0, 255));
    } else if (arg == "--gprs-text") {
      o.history.gprsText = GprsText(value());
    } else if (arg == "--gateway") {
      ParseHostPort(value(), Gateways(o));
    } else if (arg == "--gateways") {
      Gateways(o).count = Number(arg, value(), 1, 100000);
    } else if (arg == "--gateway-mode") {
      Gateways(o).mode = GatewayModeNamed(value());
    } else if (arg == "--gateway-loggers") {
      Gateways(o).loggers = Number(arg, value(), 0, 60);
    } else if (arg == "--trickle-ms") {
      Gateways(o).tricklePeriod = std::chrono::milliseconds(Number(arg, value(), 1, 600000));
    } else if (arg == "--log") {
      o.log = true;
    } else {
      BadArguments("unknown option " + arg);
    }
  }
  if (o.gateways) {
    if (o.gateways->port == 0) BadArguments("the gateway options need --gateway HOST:PORT");
    if (!o.link.empty() || o.tcpPort) BadArguments("--gateway plays gateways only");
    o.pty = false;
    return o;
  }
  if (!sim::PtyServer::Available()) {
    o.pty = false;
    if (!o.tcpPort) o.tcpPort = 0;
  }
  if (!o.pty && !o.tcpPort) BadArguments("--no-pty needs --tcp");
  if (!o.pty && !o.link.empty()) BadArguments("--link needs the pseudo-terminal");
  return o;
}

std::string Hex(const sim::Bytes& bytes) {
  std::string text;
  char piece[4];
  for (uint8_t b : bytes) {
    std::snprintf(piece, sizeof piece, text.empty() ? "%02X" : " %02X", b);
    text += piece;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = Parse(argc, argv);

  // Before the transports' threads start (they inherit the blocked signals on POSIX).
  sim::CatchStopRequests();

  sim::Simulator simulator;
  simulator.WithDevice([&](sim::Instrument& d) {
    d.address = static_cast<uint8_t>(options.address);
    d.State<sim::HistoryState>() = options.history;
    d.State<sim::ChannelCurvesState>().kind = options.curveKind;
  });
  simulator.SetFaults(options.faults);
  simulator.SetWireBaud(options.baud);
  if (options.log) {
    simulator.SetTrace([](const sim::Bytes& request, const sim::Bytes& reply) {
      std::fprintf(stderr, "> %s\n< %s\n", Hex(request).c_str(),
                   reply.empty() ? "(no reply)" : Hex(reply).c_str());
    });
  }

  std::string error;
  sim::GatewayFleet fleet;
  if (options.gateways) {
    if (!fleet.Start(*options.gateways, &error)) {
      std::cerr << "tool-sim: " << error << "\n";
      return 1;
    }
    std::printf("gateways: %d connected to %s:%u\n", options.gateways->count,
                options.gateways->host.c_str(), options.gateways->port);
  }
  sim::PtyServer pty(simulator);
  if (options.pty) {
    if (!pty.Start(&error, options.link)) {
      std::cerr << "tool-sim: " << error << "\n";
      return 1;
    }
    std::printf("pty: %s\n", pty.SlavePath().c_str());
    if (!options.link.empty()) std::printf("link: %s\n", options.link.c_str());
  }
  sim::TcpServer tcp(simulator);
  if (options.tcpPort) {
    if (!tcp.Start(static_cast<uint16_t>(*options.tcpPort), &error)) {
      std::cerr << "tool-sim: " << error << "\n";
      return 1;
    }
    std::printf("tcp: 127.0.0.1:%u\n", tcp.Port());
  }
  std::fflush(stdout);

  sim::WaitForStopRequest();
  fleet.Stop();
  tcp.Stop();
  pty.Stop();
  return 0;
}
