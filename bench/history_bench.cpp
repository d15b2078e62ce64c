// History download timing against the simulator over a pseudo-terminal: the transmitter's
// blocks and the GPRS text stream, each at 9600 and 115200 baud with fast mode on and off,
// beside the wire-time floor of the same bytes (10 bits per byte, both directions). The
// simulator paces its replies at the baud rate but a pseudo-terminal delivers the requests at
// once, so a fast download can come in just under the floor.
//
//   history-bench [records, default 10000] [exchange delay ms, default 600] [fast: on|off|both]
//
// Then the tool-cli program downloads the same records into a CSV file the way a script does:
// its default (fast) against --fixed-delay, process start-up included ("cli" rows).
//
// With fast mode off every block waits the whole exchange delay and every stream read cycle
// takes at most 392 bytes, so 10,000 records take minutes; pass fewer records for a quick look.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "history/history_commands.h"
#include "sim/families/history.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "tool_cli_run.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace history = pages::history;

constexpr int32_t kBlockSize = 360;  // 40 records a block

// Bytes both ways of a whole download of `records` records.
size_t WireBytes(history::Source source, int32_t records) {
  if (source == history::Source::Gprs) {
    size_t bytes = 9 + history::kGprsHeadLength + 3;
    for (int32_t i = 0; i < records; ++i) bytes += sim::SimulatedLine(i).size();
    return bytes;
  }
  const int32_t perBlock = kBlockSize / 9;
  const int32_t blocks = (records + perBlock - 1) / perBlock;
  return 7 + 13 + static_cast<size_t>(blocks) * (9 + 9) + static_cast<size_t>(records) * 9;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t records = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int delayMs = argc > 2 ? std::atoi(argv[2]) : 600;
  const std::string modes = argc > 3 ? argv[3] : "both";
  std::printf("%-12s %-8s %-5s %8s %10s %12s %8s %s\n", "source", "baud", "fast", "records",
              "time s", "floor s", "ratio", "status");
  for (const int baud : {9600, 115200}) {
    for (const history::Source source : {history::Source::Transmitter, history::Source::Gprs}) {
      for (const bool fast : {false, true}) {
        if ((fast && modes == "off") || (!fast && modes == "on")) continue;
        sim::Simulator simulator;
        simulator.SetWireBaud(baud);
        simulator.WithDevice([&](sim::Instrument& d) {
          auto& state = d.State<sim::HistoryState>();
          state.recordCount = records;
          state.blockSize = kBlockSize;
        });
        sim::PtyServer server(simulator);
        std::string error;
        devlink::DeviceLink link;
        if (!server.Start(&error) || !link.serial.OpenPort(server.SlavePath(), &error) ||
            !link.serial.ConfigurePort(std::to_string(baud), &error)) {
          std::fprintf(stderr, "history-bench: %s\n", error.c_str());
          return 1;
        }
        link.delayMs = delayMs;
        link.fast = fast;
        devlink::LinkChannel channel(link);
        pages::LinkStreamLine stream(link);
        const std::atomic<bool> proceed{true};
        struct Count : history::DownloadEvents {
          void Rows(std::vector<history::RecordRow> rows) override { n += rows.size(); }
          size_t n = 0;
        } events;
        const auto start = Clock::now();
        const history::DownloadResult result =
            history::Download(channel, &stream, {source, history::DownloadKind::History}, proceed, events);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double floor = static_cast<double>(WireBytes(source, records)) * 10.0 / baud;
        std::printf("%-12s %-8d %-5s %8zu %10.2f %12.2f %8.2f %s\n",
                    source == history::Source::Gprs ? "gprs" : "transmitter", baud,
                    fast ? "on" : "off", events.n, seconds, floor, seconds / floor,
                    result.status.c_str());
        std::fflush(stdout);
        link.serial.ClosePort();
        // The same download by the tool-cli program, with its default or --fixed-delay.
        const std::string out = "/tmp/history-bench-" + std::to_string(::getpid()) + ".csv";
        std::vector<std::string> words = {
            "history", "download", "--source",
            source == history::Source::Gprs ? "gprs" : "transmitter", "--out", out, "--port",
            server.SlavePath(), "--baud", std::to_string(baud), "--delay",
            std::to_string(delayMs)};
        if (!fast) words.push_back("--fixed-delay");
        const bench::CliRun run = bench::RunToolCli(words);
        std::remove(out.c_str());
        std::printf("%-12s %-8d %-5s %8s %10.2f %12.2f %8.2f %s\n",
                    source == history::Source::Gprs ? "cli-gprs" : "cli-transm.", baud,
                    fast ? "on" : "off", "-", run.ms / 1000.0, floor, run.ms / 1000.0 / floor,
                    run.exit == 0 ? "exit 0" : ("exit " + std::to_string(run.exit)).c_str());
        std::fflush(stdout);
        server.Stop();
      }
    }
  }
  return 0;
}
