// A snapshot of the settings page's whole configuration (six reads) against the simulator
// over a pseudo-terminal at 9600 baud, beside the wire-time floor of the bytes it exchanged
// (10 bits per byte). The simulator paces its replies at the baud rate but a pseudo-terminal
// delivers requests at once, so the ratio is taken to the replies' floor; the floor of both
// directions is printed for reference. With a reply taken the moment it is whole
// (tool-cli's default) and with the whole delay waited (the window's default), then the
// tool-cli program itself (`settings snapshot`, process start-up and the file included).
//
//   profile-bench [snapshots, default 20]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/profile.h"
#include "pages/settings/settings_commands.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "tool_cli_run.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the bytes of every exchange that passes through it.
class CountingChannel : public devlink::Channel {
 public:
  explicit CountingChannel(devlink::DeviceLink& link) : inner_(link) {}
  devlink::ExchangeResult Exchange(devlink::ByteView request,
                                   const devlink::ReplySpec& spec) override {
    devlink::ExchangeResult result = inner_.Exchange(request, spec);
    requestBytes += request.size();
    replyBytes += result.reply.size();
    ++exchanges;
    return result;
  }
  uint8_t DeviceAddress() const override { return inner_.DeviceAddress(); }
  devlink::DeviceLink* Link() override { return inner_.Link(); }

  size_t requestBytes = 0;
  size_t replyBytes = 0;
  int exchanges = 0;

 private:
  devlink::LinkChannel inner_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  constexpr int kBaud = 9600;
  sim::Simulator simulator;
  simulator.SetWireBaud(kBaud);
  sim::PtyServer server(simulator);
  std::string error;
  devlink::DeviceLink link;  // the default exchange settings: 9600 baud, 600 ms delay
  if (!server.Start(&error) || !link.serial.OpenPort(server.SlavePath(), &error) ||
      !link.serial.ConfigurePort(link.baudText, &error)) {
    std::fprintf(stderr, "profile-bench: %s\n", error.c_str());
    return 1;
  }
  const pages::CommandSet settings = pages::settings::Commands();
  std::printf("%-20s %5s %9s %6s %10s %14s %13s %7s\n", "snapshot", "runs", "exchanges",
              "bytes", "median ms", "floor reply ms", "floor both ms", "ratio");
  for (const bool fast : {true, false}) {
    link.fast = fast;
    std::vector<double> times;
    CountingChannel channel(link);
    const int count = fast ? runs : std::max(1, runs / 10);
    for (int i = 0; i < count; ++i) {
      channel.requestBytes = 0;
      channel.replyBytes = 0;
      channel.exchanges = 0;
      const auto start = Clock::now();
      const auto snapshot = pages::TakeSnapshot(settings, channel);
      times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (!snapshot.ok()) std::fprintf(stderr, "snapshot: %s\n", snapshot.message().c_str());
    }
    const auto wire = [](size_t bytes) { return static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud; };
    const double floorReply = wire(channel.replyBytes);
    const double floorBoth = wire(channel.requestBytes + channel.replyBytes);
    const double median = Median(times);
    std::printf("%-20s %5d %9d %6zu %10.2f %14.2f %13.2f %7.2f\n",
                fast ? "reply when whole" : "whole delay waited", count, channel.exchanges,
                channel.requestBytes + channel.replyBytes, median, floorReply, floorBoth,
                median / floorReply);
  }
  link.serial.ClosePort();

  const std::string out =
      (std::filesystem::temp_directory_path() / "profile-bench-settings.json").string();
  std::vector<double> times;
  const int cliRuns = std::max(1, runs / 2);
  for (int i = 0; i < cliRuns; ++i) {
    const bench::CliRun run =
        bench::RunToolCli({"settings", "snapshot", "--out", out, "--port", server.SlavePath()});
    if (run.exit != 0) std::fprintf(stderr, "tool-cli settings snapshot exited %d\n", run.exit);
    times.push_back(run.ms);
  }
  std::printf("%-20s %5d %9s %6s %10.2f\n", "tool-cli snapshot", cliRuns, "", "", Median(times));
  std::filesystem::remove(out);
  server.Stop();
  return 0;
}
