// Exchange timing against the simulator over a pseudo-terminal: the median time of a short
// exchange (7-byte request, 11-byte reply: one row of alarm limits) and of a history block read
// (9-byte request, 261-byte reply) with fast mode on and off, at 9600 and 115200 baud, beside
// the wire-time floor of the same bytes (10 bits per byte).
// The simulator paces its replies at the baud rate; the request's own wire time is not emulated
// (a pseudo-terminal delivers it at once), so the floor printed counts the reply only and, for
// reference, both directions.
//
// Then the tool-cli program itself sends the short request (raw) the way a script does: its
// default (a reply is taken the moment it is whole) against --fixed-delay, process start-up
// included.
//
//   link-bench [exchanges with fast mode on, default 200] [exchanges with it off, default 10]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "history/history_commands.h"
#include "link/exchange.h"
#include "sim/families/history.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "tool_cli_run.h"

namespace {

using Clock = std::chrono::steady_clock;

// One kind of exchange: its request and the length of its reply.
struct Kind {
  const char* name;
  devlink::Bytes request;
  size_t replyLength;
  bool headerTellsLength;
};

// A history block of 28 records: 252 bytes of records and 9 of frame.
constexpr int32_t kBlockBytes = 252;
constexpr size_t kBlockReplyLength = 261;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Milliseconds of each of `count` exchanges.
std::vector<double> Measure(devlink::DeviceLink& link, const Kind& kind, int count) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    const auto result = devlink::SerialExchange(
        link, kind.request, kind.replyLength,
        {devlink::FrameFamily::Sum, kind.replyLength, kind.headerTellsLength});
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (result.reply.size() != kind.replyLength) {
      std::fprintf(stderr, "%s %d: %zu bytes\n", kind.name, i, result.reply.size());
    }
  }
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const int fastCount = argc > 1 ? std::atoi(argv[1]) : 200;
  const int slowCount = argc > 2 ? std::atoi(argv[2]) : 10;
  const Kind kinds[] = {
      {"short", devlink::BuildSumFrame(1, 0x0A, 0x01), 11, true},
      {"block", pages::history::BlockRequest(1, 1), kBlockReplyLength, false},
  };
  std::printf("%-9s %-8s %-5s %6s %12s %14s %14s %8s\n", "kind", "baud", "fast", "runs",
              "median ms", "floor reply ms", "floor both ms", "ratio");
  for (const int baud : {9600, 115200}) {
    sim::Simulator simulator;
    simulator.SetWireBaud(baud);
    simulator.WithDevice([](sim::Instrument& device) {
      auto& history = device.State<sim::HistoryState>();
      history.blockSize = kBlockBytes;
      history.recordCount = 10 * kBlockBytes / 9;
    });
    sim::PtyServer server(simulator);
    std::string error;
    devlink::DeviceLink link;
    if (!server.Start(&error) || !link.serial.OpenPort(server.SlavePath(), &error) ||
        !link.serial.ConfigurePort(std::to_string(baud), &error)) {
      std::fprintf(stderr, "link-bench: %s\n", error.c_str());
      return 1;
    }
    for (const Kind& kind : kinds) {
      const double floorReply = static_cast<double>(kind.replyLength) * 10.0 * 1000.0 / baud;
      const double floorBoth =
          static_cast<double>(kind.request.size() + kind.replyLength) * 10.0 * 1000.0 / baud;
      for (const bool fast : {true, false}) {
        link.fast = fast;
        link.delayMs = 600;
        const int runs = fast ? fastCount : slowCount;
        const double median = Median(Measure(link, kind, runs));
        std::printf("%-9s %-8d %-5s %6d %12.2f %14.2f %14.2f %8.2f\n", kind.name, baud,
                    fast ? "on" : "off", runs, median, floorReply, floorBoth,
                    median / floorReply);
      }
    }
    link.serial.ClosePort();
    // tool-cli opens the port itself, once per run.
    const Kind& shortKind = kinds[0];
    const double floorReply = static_cast<double>(shortKind.replyLength) * 10.0 * 1000.0 / baud;
    const double floorBoth =
        static_cast<double>(shortKind.request.size() + shortKind.replyLength) * 10.0 * 1000.0 /
        baud;
    for (const bool fixed : {false, true}) {
      std::vector<std::string> words = {"raw", "--port", server.SlavePath(), "--baud",
                                        std::to_string(baud), "--delay", "600",
                                        devlink::FormatHex(shortKind.request)};
      if (fixed) words.push_back("--fixed-delay");
      const int runs = fixed ? slowCount : std::max(fastCount / 10, 5);
      std::vector<double> times;
      for (int i = 0; i < runs; ++i) {
        const bench::CliRun run = bench::RunToolCli(words);
        if (run.exit != 0) std::fprintf(stderr, "tool-cli raw exited %d\n", run.exit);
        times.push_back(run.ms);
      }
      const double median = Median(times);
      std::printf("%-9s %-8d %-5s %6d %12.2f %14.2f %14.2f %8.2f\n",
                  fixed ? "cli-fixed" : "cli", baud, fixed ? "off" : "on", runs, median,
                  floorReply, floorBoth, median / floorReply);
    }
    server.Stop();
  }
  return 0;
}
