// Exchange timing against the simulator over a pseudo-terminal: the median time of a short
// exchange (7-byte request, 11-byte reply: one row of alarm limits) with fast mode on and off,
// at 9600 and 115200 baud, beside the wire-time floor of the same bytes (10 bits per byte).
// The simulator paces its replies at the baud rate; the request's own wire time is not emulated
// (a pseudo-terminal delivers it at once), so the floor printed counts the reply only and, for
// reference, both directions.
//
//   link-bench [exchanges with fast mode on, default 200] [exchanges with it off, default 10]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/exchange.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReplyLength = 11;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Milliseconds of each of `count` exchanges.
std::vector<double> Measure(devlink::DeviceLink& link, int count) {
  const devlink::Bytes request = devlink::BuildSumFrame(1, 0x0A, 0x01);
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    const auto result = devlink::SerialExchange(link, request, kReplyLength,
                                                {devlink::FrameFamily::Sum, kReplyLength});
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (result.reply.size() != kReplyLength) {
      std::fprintf(stderr, "exchange %d: %zu bytes\n", i, result.reply.size());
    }
  }
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const int fastCount = argc > 1 ? std::atoi(argv[1]) : 200;
  const int slowCount = argc > 2 ? std::atoi(argv[2]) : 10;
  std::printf("%-8s %-5s %6s %12s %14s %14s %8s\n", "baud", "fast", "runs", "median ms",
              "floor reply ms", "floor both ms", "ratio");
  for (const int baud : {9600, 115200}) {
    sim::Simulator simulator;
    simulator.SetWireBaud(baud);
    sim::PtyServer server(simulator);
    std::string error;
    devlink::DeviceLink link;
    if (!server.Start(&error) || !link.serial.OpenPort(server.SlavePath(), &error) ||
        !link.serial.ConfigurePort(std::to_string(baud), &error)) {
      std::fprintf(stderr, "link-bench: %s\n", error.c_str());
      return 1;
    }
    const double floorReply = kReplyLength * 10.0 * 1000.0 / baud;
    const double floorBoth = (7 + kReplyLength) * 10.0 * 1000.0 / baud;
    for (const bool fast : {true, false}) {
      link.fast = fast;
      link.delayMs = 600;
      const double median = Median(Measure(link, fast ? fastCount : slowCount));
      std::printf("%-8d %-5s %6d %12.2f %14.2f %14.2f %8.2f\n", baud, fast ? "on" : "off",
                  fast ? fastCount : slowCount, median, floorReply, floorBoth,
                  median / floorReply);
    }
    link.serial.ClosePort();
    server.Stop();
  }
  return 0;
}
