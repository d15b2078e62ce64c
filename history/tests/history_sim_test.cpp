// The download over the real serial and TCP channels against the simulated instrument, and the
// tool-cli verb.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/code_page_text.h"
#include "history/history_commands.h"
#include "link/codecs.h"
#include "pages/testing/sim_link.h"
#ifndef _WIN32
#include "pages/testing/tool_cli.h"
#endif
#include "sim/families/history.h"

namespace pages::history {
namespace {

using devlink::Bytes;
using pages::testing::SimLink;

struct Collect : DownloadEvents {
  void CountAnnounced(int32_t count) override { announced = count; }
  void Progress(int64_t current, int64_t) override {
    if (onProgress) onProgress(current);
  }
  void BlocksFailed(int failed) override { failedSeen = failed; }
  std::function<void(int64_t)> onProgress;
  int failedSeen = 0;
  void Rows(std::vector<RecordRow> more) override {
    for (auto& r : more) rows.push_back(std::move(r));
  }
  int32_t announced = -1;
  std::vector<RecordRow> rows;
};

class HistorySimTest : public ::testing::Test {
 protected:
  void Serial() {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
  }
  void Configure(int32_t records, int32_t blockSize, int failBlock = 0) {
    sim_.Device<sim::HistoryState>([&](sim::HistoryState& s) {
      s.recordCount = records;
      s.blockSize = blockSize;
      s.failBlock = failBlock;
    });
  }
  DownloadResult Run(DownloadRequest request, Collect& events) {
    devlink::LinkChannel channel(sim_.link);
    std::unique_ptr<StreamLine> stream = StreamBehind(channel);
    const std::atomic<bool> proceed{true};
    return Download(channel, stream.get(), request, proceed, events);
  }
  size_t Sent(const Bytes& request) {
    size_t n = 0;
    for (const Bytes& r : sim_.simulator.RequestLog()) n += r == request;
    return n;
  }
  SimLink sim_;
};

TEST_F(HistorySimTest, TransmitterBlocksOverThePseudoTerminalWithAFailingBlock) {
  TOOL_SKIP_WITHOUT_PTY();
  Serial();
  Configure(95, 27, 5);  // three records a block, 32 blocks, block 5 silent
  Collect events;
  const DownloadResult result = Run({}, events);
  EXPECT_EQ(events.announced, 95);
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_TRUE(result.saveEnabled);
  ASSERT_EQ(events.rows.size(), 95u);
  EXPECT_EQ(Sent(BlockRequest(1, 5)), 3u);
  EXPECT_EQ(Sent(BlockRequest(1, 6)), 1u);
  for (int i = 0; i < 95; ++i) {
    const bool missing = i >= 12 && i < 15;
    Bytes stored = sim::SimulatedRecord(i);
    HistoryRecord record;
    std::copy(stored.begin(), stored.end(), record.begin());
    EXPECT_EQ(events.rows[static_cast<size_t>(i)], missing ? MissingRecordRow() : DescribeRecord(record))
        << i;
  }
  EXPECT_EQ(events.rows[0], (RecordRow{"2023年05月06日07时08分", {"23.1", "60.0"}}));
}

TEST_F(HistorySimTest, BlockNumbersBeyond255InFastMode) {
  TOOL_SKIP_WITHOUT_PTY();
  Serial();
  sim_.link.fast = true;
  Configure(300, 9);  // one record a block
  Collect events;
  const DownloadResult result = Run({}, events);
  EXPECT_EQ(result.status, kStatusNormal);
  ASSERT_EQ(events.rows.size(), 300u);
  EXPECT_EQ(Sent(Bytes{0x25, 0x01, 0x06, 0xAA, 0x02, 0x00, 0x01, 0x66, 0x3F}), 1u);  // block 256
  EXPECT_EQ(events.rows[299].values[0], "-18.2");  // 23.1 - 59 * 0.7

  // Blocks of 369 bytes, whose byte 4 cannot be their length: fast mode waits for all of them.
  Configure(100, 360);
  Collect more;
  EXPECT_EQ(Run({}, more).status, kStatusNormal);
  EXPECT_EQ(more.rows.size(), 100u);
  EXPECT_EQ(more.rows[99].values[0], "-4.2");
}

// The page's situation: the download runs on a worker thread while the user-interface thread
// stops it and closes the port (ThreadSanitizer runs this test).
TEST_F(HistorySimTest, StoppedFromAnotherThreadWhileThePortCloses) {
  TOOL_SKIP_WITHOUT_PTY();
  Serial();
  sim_.link.fast = true;
  Configure(2000, 9);
  struct Watch : DownloadEvents {
    void Progress(int64_t current, int64_t) override { reached.store(current); }
    void Rows(std::vector<RecordRow> more) override { rows += more.size(); }
    std::atomic<int64_t> reached{0};
    size_t rows = 0;
  } events;
  std::atomic<bool> proceed{true};
  DownloadResult result;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    devlink::LinkChannel channel(sim_.link);
    result = Download(channel, nullptr, {}, proceed, events);
    done.store(true);
  });
  while (events.reached.load() < 20 && !done.load()) std::this_thread::yield();
  proceed.store(false);
  sim_.link.serial.ClosePort();
  worker.join();
  EXPECT_EQ(result.status, kStatusStopped);
  EXPECT_EQ(events.rows, 0u);
  EXPECT_LT(events.reached.load(), 2000);
}

// An instrument that stops answering, and a port that goes away, both end the download at once
// with the rows that arrived; the rest are marked missing, and the outcome says why.
TEST_F(HistorySimTest, SilentInstrumentAndVanishedPortEndTheDownloadWithTheRowsSoFar) {
  TOOL_SKIP_WITHOUT_PTY();
  Serial();
  Configure(300, 27);  // three records a block, 100 blocks
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.silentFrom = 3; });
  DownloadRequest request;
  request.silentBlockLimit = kSilentBlockLimit;
  Collect silent;
  DownloadResult result = Run(request, silent);
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_EQ(result.message, kStatusError);
  EXPECT_EQ(result.failedBlocks, 3);
  EXPECT_EQ(silent.failedSeen, 3);
  EXPECT_EQ(result.missing, 294);
  ASSERT_EQ(silent.rows.size(), 300u);
  EXPECT_EQ(silent.rows[5].time, "2023年05月06日07时13分");
  EXPECT_EQ(silent.rows[6], MissingRecordRow());
  EXPECT_EQ(Sent(BlockRequest(1, 5)), 3u);  // three silent blocks, each asked three times
  EXPECT_EQ(Sent(BlockRequest(1, 6)), 0u);
  EXPECT_TRUE(result.saveEnabled);

  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.silentFrom = 0; });
  const std::string path = sim_.SerialPath();
  Collect pulled;
  // The line goes away once two blocks have arrived.
  pulled.onProgress = [&](int64_t current) {
    if (current == 6) sim_.StopSerial();
  };
  const auto start = std::chrono::steady_clock::now();
  result = Run({}, pulled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(result.message, "串口已断开：" + path);
  EXPECT_FALSE(result.detail.empty());
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_EQ(pulled.failedSeen, 0);  // not asked again, not counted as a failed block
  ASSERT_EQ(pulled.rows.size(), 300u);
  EXPECT_EQ(pulled.rows[5].time, "2023年05月06日07时13分");
  EXPECT_EQ(result.missing, 294);
  EXPECT_FALSE(sim_.link.serial.IsOpen());
}

TEST_F(HistorySimTest, TransmitterOverTcp) {
  std::string error;
  ASSERT_TRUE(sim_.StartTcp(&error)) << error;
  Configure(7, 18);
  Collect events;
  const DownloadResult result = Run({}, events);
  EXPECT_EQ(result.status, kStatusNormal);
  EXPECT_EQ(events.rows.size(), 7u);
  EXPECT_EQ(events.rows[6].time, "2023年05月06日07时14分");
}

TEST_F(HistorySimTest, GprsStreamOverThePseudoTerminal) {
  TOOL_SKIP_WITHOUT_PTY();
  Serial();
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) {
    s.valueCount = 3;
    s.gprsAnnounced = 3;
    s.gprsText = "2024-01-02 03:04 12.5 45.0 7\r\n\r\n2024-01-02 03:05 -1.5 40.0 \r\n"
                 "2024-01-02 03:06 0.0 41.0 \r\n";
  });
  Collect events;
  const DownloadResult result = Run({Source::Gprs, DownloadKind::Print}, events);
  EXPECT_EQ(Sent(GprsRequest(DownloadKind::Print)), 1u);
  EXPECT_EQ(result.status, kStatusNormal);
  EXPECT_TRUE(result.saveEnabled);
  EXPECT_EQ(result.valueCount, 3);
  ASSERT_EQ(events.rows.size(), 3u);
  EXPECT_EQ(events.rows[0], (RecordRow{"2024年01月02日03时04分", {"12.5", "45.0"}}));
  EXPECT_EQ(events.rows[1].values[0], "-1.5");

  // A head that announces more lines than arrive: the lines are kept and may be saved, but the
  // download is not whole and says how many are missing.
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.gprsAnnounced = 5; });
  Collect fewer;
  const DownloadResult short_ = Run({Source::Gprs, DownloadKind::Print}, fewer);
  EXPECT_EQ(short_.status, kStatusError);
  EXPECT_EQ(short_.message, "数据读取失败");
  EXPECT_EQ(short_.missing, 2);
  EXPECT_TRUE(short_.saveEnabled);
  EXPECT_EQ(fewer.rows.size(), 3u);
}

TEST_F(HistorySimTest, GprsOverTcpSendsNothing) {
  std::string error;
  ASSERT_TRUE(sim_.StartTcp(&error)) << error;
  Collect events;
  const DownloadResult result = Run({Source::Gprs}, events);
  EXPECT_EQ(result.message, "数据读取失败");
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_EQ(sim_.Requests(), 0u);
}

// tool-cli is run from the tests on POSIX only (posix_spawn); and this one needs the
// pseudo-terminal anyway.
#ifndef _WIN32
std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST_F(HistorySimTest, ToolCliSavesWhatItDownloadsAndShowsProgress) {
  TOOL_SKIP_WITHOUT_PTY();
  Serial();
  sim_.link.serial.ClosePort();  // the port belongs to tool-cli
  Configure(12, 36);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("history_cli_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto run = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {"history", "download"});
    words.insert(words.end(), {"--port", sim_.SerialPath(), "--delay", "40", "--fast"});
    return pages::testing::RunToolCli(words);
  };
  const std::string csv = (dir / "records.csv").string();
  auto done = run({"--source", "transmitter", "--out", csv});
  ASSERT_EQ(done.exit, 0) << done.out << done.err;
  EXPECT_NE(done.err.find("history download: 12/12"), std::string::npos) << done.err;
  EXPECT_NE(done.out.find("\"rows\":12"), std::string::npos) << done.out;
  const std::string text = ReadFile(csv);
  std::string utf8 = devlink::DecodeCodePageText(devlink::kCodePageOem,
                                                 reinterpret_cast<const uint8_t*>(text.data()),
                                                 text.size());
  EXPECT_NE(utf8.find("\r\n序号,时间,温度℃,湿度%RH\r\n1,2023年05月06日07时08分,23.1,60.0\r\n"),
            std::string::npos);

  const std::string data = (dir / "records.data").string();
  done = run({"--source", "gprs", "--out", data});
  ASSERT_EQ(done.exit, 0) << done.out << done.err;
  EXPECT_EQ(ReadFile(data).size(), 8u + 12u * (24 + 4 * 2));

  // An instrument that falls silent: three silent blocks end the download; the file holds what
  // arrived and the message says it is incomplete.
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.silentFrom = 2; });
  done = run({"--source", "transmitter", "--out", csv});
  EXPECT_EQ(done.exit, 1) << done.out << done.err;
  EXPECT_NE(done.out.find("\"message\":\"通讯出错；文件中的下载不完整：8条记录未收到\""),
            std::string::npos)
      << done.out;
  EXPECT_NE(done.out.find("\"missing\":8"), std::string::npos) << done.out;
  EXPECT_NE(done.out.find("\"detail\""), std::string::npos) << done.out;
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.silentFrom = 0; });

  // A name of neither type, and print records from a transmitter, are refused before sending.
  const size_t requests = sim_.Requests();
  EXPECT_EQ(run({"--source", "gprs", "--out", (dir / "x.txt").string()}).exit, 2);
  EXPECT_EQ(run({"--source", "transmitter", "--kind", "print", "--out", csv}).exit, 2);
  EXPECT_EQ(sim_.Requests(), requests);
  std::filesystem::remove_all(dir);
}
#endif  // _WIN32

}  // namespace
}  // namespace pages::history
