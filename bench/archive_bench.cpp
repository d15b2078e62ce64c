// The history archive at scale: 1,000 downloads of 1,000 records (1,000,000 records) of 20
// instruments, each download overlapping the instrument's previous one by half, stored one
// transaction per download as a download stores them. Then the figures a technician waits for:
// opening the archive, listing every download and one instrument's, and one instrument's
// records merged across its 50 downloads and exported as CSV and .data.
//
//   archive-bench [downloads, default 1000] [records per download, default 1000] [folder]
//
// The archive is made in a temporary folder (or the one given) and removed afterwards.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "history/history_archive.h"
#include "history/history_export.h"
#include "sim/families/history.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace history = pages::history;
namespace fs = std::filesystem;

constexpr int kInstruments = 20;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Sn(int instrument) {
  char sn[16];
  std::snprintf(sn, sizeof sn, "7EAC%05d", instrument + 1);
  return sn;
}

}  // namespace

int main(int argc, char** argv) {
  const int downloads = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int perDownload = argc > 2 ? std::atoi(argv[2]) : 1000;
  const fs::path folder = argc > 3 ? fs::path(argv[3])
                                   : fs::temp_directory_path() /
                                         ("archive_bench_" + std::to_string(::getpid()));
  if (downloads < 1 || perDownload < 1) {
    std::fprintf(stderr, "usage: archive-bench [downloads] [records per download] [folder]\n");
    return 2;
  }
  fs::create_directories(folder);
  const std::string path = (folder / "archive.sqlite3").string();
  fs::remove(path);

  // The rows of a download as the list shows them, made once per offset.
  auto rowsFrom = [&](int first) {
    std::vector<history::RecordRow> rows;
    rows.reserve(static_cast<size_t>(perDownload));
    for (int i = 0; i < perDownload; ++i) {
      const devlink::Bytes bytes = sim::SimulatedRecord(first + i);
      history::HistoryRecord record{};
      std::copy(bytes.begin(), bytes.end(), record.begin());
      rows.push_back(history::DescribeRecord(record));
    }
    return rows;
  };

  history::ArchiveError error;
  double storeMs = 0, slowest = 0;
  {
    auto archive = history::Archive::Open(path, &error);
    if (!archive) {
      std::fprintf(stderr, "archive-bench: %s\n", error.c_str());
      return 1;
    }
    for (int d = 0; d < downloads; ++d) {
      const int instrument = d % kInstruments;
      const int round = d / kInstruments;
      history::DownloadToStore download;
      download.identity.sn = Sn(instrument);
      download.identity.connection = "/dev/ttyUSB0";
      download.identity.address = 1;
      download.rows = rowsFrom(round * perDownload / 2);
      download.result.recordCount = perDownload;
      const auto start = Clock::now();
      if (!archive->Store(download, &error)) {
        std::fprintf(stderr, "archive-bench: %s\n", error.c_str());
        return 1;
      }
      const double ms = MsSince(start);
      storeMs += ms;
      slowest = std::max(slowest, ms);
    }
  }
  const double records = static_cast<double>(downloads) * perDownload;
  std::printf("archive: %d downloads, %.0f records, %.1f MB\n", downloads, records,
              static_cast<double>(fs::file_size(path)) / 1e6);
  std::printf("store:   %.0f records/s (%.2f ms a download of %d, slowest %.2f ms)\n",
              records / (storeMs / 1000), storeMs / downloads, perDownload, slowest);

  auto start = Clock::now();
  auto archive = history::Archive::Open(path, &error, /*create=*/false);
  if (!archive) {
    std::fprintf(stderr, "archive-bench: %s\n", error.c_str());
    return 1;
  }
  std::printf("open:    %.2f ms\n", MsSince(start));
  start = Clock::now();
  const size_t all = archive->List().size();
  std::printf("list:    %.2f ms (all %zu downloads)\n", MsSince(start), all);
  start = Clock::now();
  const size_t one = archive->List(Sn(0)).size();
  std::printf("list:    %.2f ms (one instrument, %zu downloads)\n", MsSince(start), one);
  start = Clock::now();
  history::MergedRecords merged = archive->Merged(Sn(0));
  const double mergeMs = MsSince(start);
  std::printf("merge:   %.2f ms (one instrument: %zu records, %lld duplicates left out)\n", mergeMs,
              merged.rows.size(), static_cast<long long>(merged.duplicates));
  for (const auto& [type, name] : {std::pair{history::FileType::Csv, "merged.csv"},
                                   std::pair{history::FileType::Data, "merged.data"}}) {
    start = Clock::now();
    const std::string failure =
        history::SaveRecords((folder / name).string(), type, merged.rows, merged.valueCount);
    std::printf("export:  %.2f ms (%s%s)\n", mergeMs + MsSince(start), name,
                failure.empty() ? ", merge included" : (", " + failure).c_str());
  }
  start = Clock::now();
  merged = archive->Merged(Sn(0), 202305061000, 202305071000);
  std::printf("merge:   %.2f ms (one instrument, one day: %zu records)\n", MsSince(start),
              merged.rows.size());
  archive.reset();
  if (argc <= 3) fs::remove_all(folder);
  return 0;
}
