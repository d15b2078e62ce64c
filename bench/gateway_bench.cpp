// Load on the gateway server, all on 127.0.0.1: one healthy gateway alone, then beside 1,000 idle
// gateways, 20 that trickle a byte every few seconds and one that never answers. Prints the
// latency of the same read commands in both settings, what the server handled while a command
// waited for the silent gateway, and the open descriptors before and after everything
// disconnected. Bounded in count and time; stops by itself.
#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "server/gateway_commands.h"
#include "server/gateway_server.h"
#include "sim/gateway_fleet.h"

namespace {

using namespace std::chrono_literals;
using gateway::Clock;

constexpr int kCrowd = 1000;
constexpr int kTricklers = 20;
constexpr int kCommands = 200;
constexpr auto kTrickle = 3000ms;
constexpr auto kPhaseLimit = 30s;  // no phase waits longer

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
    --count;  // the directory's own descriptor
  }
  return count;
}

struct Stats {
  double median, p99, max;
};

Stats Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back()};
}

class Bench {
 public:
  Bench()
      : server_({{}, {}, [this](gateway::GatewayKey) { ++signsOfLife_; },
                 [this](const gateway::CommandReply& reply) { last_ = reply; }, {}}) {}

  bool Listen() { return server_.Listen(0, "127.0.0.1") == gateway::GatewayServer::ListenResult::Ok; }
  uint16_t Port() const { return server_.Port(); }
  gateway::GatewayServer& Server() { return server_; }
  long SignsOfLife() const { return signsOfLife_; }

  // Polls until `done` or the phase limit; false on the limit.
  template <class Done>
  bool RunUntil(Done done, std::chrono::milliseconds limit = kPhaseLimit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() >= end) return false;
      server_.PollOnce(50ms);
    }
    return true;
  }
  // Starts a fleet on a thread of its own while the server keeps accepting.
  bool Connect(sim::GatewayFleet& fleet, sim::GatewayFleetOptions options) {
    options.port = server_.Port();
    const size_t expected = server_.Gateways().size() + static_cast<size_t>(options.count);
    std::string error;
    auto started = std::async(std::launch::async, [&] { return fleet.Start(options, &error); });
    const bool accepted = RunUntil([&] { return server_.Gateways().size() >= expected; });
    if (!started.get() || !accepted) {
      std::fprintf(stderr, "gateway-bench: connecting failed: %s\n", error.c_str());
      return false;
    }
    return true;
  }
  // Read commands to `key`, one after another; their round trips in ms.
  std::vector<double> Reads(gateway::GatewayKey key) {
    std::vector<double> ms;
    const gateway::GatewayRequest read = gateway::ReadRequest();
    for (int i = 0; i < kCommands; ++i) {
      const auto start = Clock::now();
      server_.Send(key, read.command, read.bytes, start);
      if (!RunUntil([&] { return !server_.Busy(); }) || !last_.answered) break;
      ms.push_back(Ms(Clock::now() - start));
    }
    return ms;
  }
  const gateway::CommandReply& Last() const { return last_; }

  static double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

 private:
  gateway::GatewayServer server_;
  gateway::CommandReply last_;
  long signsOfLife_ = 0;
};

}  // namespace

int main() {
  // Two descriptors per gateway in this one process (its end and the server's).
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const rlim_t needed = 2 * (kCrowd + kTricklers + 8) + 64;
  if (files.rlim_cur < needed) {
    files.rlim_cur = std::min<rlim_t>(needed, files.rlim_max);
    setrlimit(RLIMIT_NOFILE, &files);
  }
  if (files.rlim_cur < needed) {
    std::fprintf(stderr, "gateway-bench: needs %lu open files, may open %lu\n",
                 static_cast<unsigned long>(needed), static_cast<unsigned long>(files.rlim_cur));
    return 1;
  }

  Bench bench;
  if (!bench.Listen()) {
    std::fprintf(stderr, "gateway-bench: cannot listen on 127.0.0.1\n");
    return 1;
  }
  const int baseline = OpenDescriptors();

  sim::GatewayFleet healthy;
  if (!bench.Connect(healthy, {"127.0.0.1", 0, 1, sim::GatewayMode::Normal, 10, kTrickle})) return 1;
  const gateway::GatewayKey key = bench.Server().Gateways().front().key;
  const std::vector<double> alone = bench.Reads(key);

  sim::GatewayFleet crowd, tricklers, silent;
  const auto connectStart = Clock::now();
  if (!bench.Connect(crowd, {"127.0.0.1", 0, kCrowd, sim::GatewayMode::Normal, 0, kTrickle}) ||
      !bench.Connect(tricklers, {"127.0.0.1", 0, kTricklers, sim::GatewayMode::Trickle, 0, kTrickle}) ||
      !bench.Connect(silent, {"127.0.0.1", 0, 1, sim::GatewayMode::Silent, 0, kTrickle})) {
    return 1;
  }
  const double connectMs = Bench::Ms(Clock::now() - connectStart);
  const size_t connected = bench.Server().Gateways().size();

  // A command to the gateway that never answers: the server keeps serving the others meanwhile.
  const gateway::GatewayKey silentKey = bench.Server().Gateways().back().key;
  const long lifeBefore = bench.SignsOfLife();
  const auto waitStart = Clock::now();
  const gateway::GatewayRequest read = gateway::ReadRequest();
  bench.Server().Send(silentKey, read.command, read.bytes, waitStart);
  bench.RunUntil([&] { return !bench.Server().Busy(); }, 10s);
  const double waited = Bench::Ms(Clock::now() - waitStart);
  const long lifeDuring = bench.SignsOfLife() - lifeBefore;
  const bool silentAnswered = bench.Last().answered;

  const std::vector<double> crowded = bench.Reads(key);

  healthy.Stop();
  crowd.Stop();
  tricklers.Stop();
  silent.Stop();
  const bool allGone = bench.RunUntil([&] { return bench.Server().Gateways().empty(); });
  const int after = OpenDescriptors();

  if (alone.size() != kCommands || crowded.size() != kCommands) {
    std::fprintf(stderr, "gateway-bench: commands went unanswered (%zu and %zu of %d)\n",
                 alone.size(), crowded.size(), kCommands);
    return 1;
  }
  const Stats a = Summarise(alone);
  const Stats c = Summarise(crowded);
  std::printf("gateways connected: %zu (1 healthy, %d idle, %d trickling every %lld ms, 1 silent) in %.0f ms\n",
              connected, kCrowd, kTricklers, static_cast<long long>(kTrickle.count()), connectMs);
  std::printf("read command round trip, %d commands (ms):   median    p99     max\n", kCommands);
  std::printf("  healthy gateway alone                       %7.3f %7.3f %7.3f\n", a.median, a.p99, a.max);
  std::printf("  beside %4zu other gateways                  %7.3f %7.3f %7.3f\n", connected - 1,
              c.median, c.p99, c.max);
  std::printf("command to the silent gateway: ended after %.0f ms (%s); meanwhile the server "
              "handled %ld signs of life from the others\n",
              waited, silentAnswered ? "answered" : "no reply", lifeDuring);
  std::printf("open descriptors: %d before, %d after all disconnected (%s)\n", baseline, after,
              allGone && after == baseline ? "back to the baseline" : "NOT back to the baseline");
  return allGone && after == baseline ? 0 : 1;
}
