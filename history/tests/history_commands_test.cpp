// The download engine against a scripted channel and a scripted GPRS stream.
#include <gtest/gtest.h>

#include <deque>

#include "history/history_commands.h"
#include "link/checks.h"
#include "link/testing/scripted_channel.h"

namespace pages::history {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

// A '<'-reply of `length` bytes whose last byte is the sum of the ones before it; `body` goes
// from byte 5 on.
Bytes Reply(size_t length, const Bytes& body = {}) {
  Bytes reply(length, 0);
  reply[0] = 0x3C;
  reply[1] = 0x01;
  reply[2] = 0x06;
  reply[3] = 0xAA;
  std::copy(body.begin(), body.end(), reply.begin() + 5);
  reply[length - 2] = 0x66;
  reply.back() = devlink::Sum8(reply.data(), static_cast<int32_t>(length - 1));
  return reply;
}

Bytes CountReply(int records, int blocks, int blockSize) {
  return Reply(13, {static_cast<uint8_t>(records & 0xFF), static_cast<uint8_t>(records >> 8),
                    static_cast<uint8_t>(blocks), 0, static_cast<uint8_t>(blockSize), 0});
}

HistoryRecord Minute(int minute) { return {0x23, 0x05, 0x06, 0x07, static_cast<uint8_t>(minute), 0xE7, 0x00, 0x58, 0x02}; }

// A block reply: 2 bytes of block number, then the records, from byte 5.
Bytes BlockReply(size_t length, std::initializer_list<HistoryRecord> records) {
  Bytes body{0, 0};
  for (const auto& r : records) body.insert(body.end(), r.begin(), r.end());
  return Reply(length, body);
}

struct Recorder : DownloadEvents {
  void CountAnnounced(int32_t count) override { counts.push_back(count); }
  void Progress(int64_t current, int64_t maximum) override {
    progress.emplace_back(current, maximum);
    if (stopAt && current == *stopAt) proceed->store(false);
  }
  void Rows(std::vector<RecordRow> more) override {
    for (auto& r : more) rows.push_back(std::move(r));
  }
  std::vector<int32_t> counts;
  std::vector<std::pair<int64_t, int64_t>> progress;
  std::vector<RecordRow> rows;
  std::optional<int64_t> stopAt;
  std::atomic<bool>* proceed = nullptr;
};

TEST(HistoryFrames, RequestsAndRecordsAsOnTheWire) {
  EXPECT_EQ(CountRequest(1), (Bytes{0x25, 0x01, 0x06, 0xAA, 0x00, 0x66, 0x3C}));
  // Block 256 goes as low byte 00, high byte 01.
  EXPECT_EQ(BlockRequest(1, 256), (Bytes{0x25, 0x01, 0x06, 0xAA, 0x02, 0x00, 0x01, 0x66, 0x3F}));
  EXPECT_EQ(BlockRequest(1, 255)[5], 0xFF);
  EXPECT_EQ(GprsRequest(DownloadKind::History),
            (Bytes{0x25, 0x30, 0x30, 0x00, 0x46, 0x03, 0x66, 0xE0, 0x24}));
  EXPECT_EQ(GprsRequest(DownloadKind::Print),
            (Bytes{0x25, 0x30, 0x30, 0x00, 0x45, 0x03, 0x66, 0xE0, 0xD4}));

  EXPECT_EQ(DescribeRecord({0x23, 0x05, 0x06, 0x07, 0x08, 0xE7, 0x00, 0x58, 0x02}),
            (RecordRow{"2023年05月06日07时08分", {"23.1", "60.0"}}));
  EXPECT_EQ(DescribeRecord({0x99, 0x12, 0x31, 0x23, 0x59, 0x1A, 0xFF, 0x00, 0x00}),
            (RecordRow{"2099年12月31日23时59分", {"-23.0", "0.0"}}));
}

TEST(HistoryFrames, BlockLengthsFollowTheAnnouncedLayout) {
  // Block size 18 (two records), five records in three blocks.
  EXPECT_EQ(ExpectedBlockLength(1, 3, 18, 5), 27u);
  EXPECT_EQ(ExpectedBlockLength(2, 3, 18, 5), 27u);
  EXPECT_EQ(ExpectedBlockLength(3, 3, 18, 5), 18u);
  EXPECT_EQ(ExpectedBlockLength(1, 1, 360, 40), 369u);
  // A layout with no record left for the last block has nothing to ask for.
  EXPECT_EQ(ExpectedBlockLength(3, 3, 18, 4), 0u);
  EXPECT_EQ(ExpectedBlockLength(1, 1, 18, -3), 0u);
}

TEST(HistoryFrames, GprsLinesFillTimeAndTwoValueColumns) {
  struct Case {
    const char* line;
    RecordRow row;
  } cases[] = {
      {"2023-05-06 07:08 12.5 45.0 7", {"2023年05月06日07时08分", {"12.5", "45.0"}}},
      {"2023-05-06 07:08 12.5 45.0 33.3 ", {"2023年05月06日07时08分", {"12.5", "45.0"}}},
      {"2023-05-06 07:08  12.5 ", {"2023年05月06日07时08分", {}}},  // a leading space ends them
      {"2023-05-06 07:08 -1.5 ", {"2023年05月06日07时08分", {"-1.5"}}},
      // A short line reads what it has; its time is incomplete, so the row is marked.
      {"2023-05", {"2023年05月日时分（时间无效）", {}, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseGprsLine(c.line), c.row) << c.line;
}

TEST(TransmitterDownload, FetchesEveryBlockAndListsTheRecordsInOrder) {
  ScriptedChannel channel;
  channel.Expect(CountRequest(1), CountReply(5, 3, 18));
  channel.Expect(BlockRequest(1, 1), BlockReply(27, {Minute(1), Minute(2)}));
  channel.Expect(BlockRequest(1, 2), BlockReply(27, {Minute(3), Minute(4)}));
  channel.Expect(BlockRequest(1, 3), BlockReply(18, {Minute(5)}));
  std::atomic<bool> proceed{true};
  Recorder events;
  const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
  EXPECT_TRUE(channel.Problems().empty());
  ASSERT_EQ(channel.Specs().size(), 4u);
  EXPECT_EQ(channel.Specs()[1].capacity, 27u);
  EXPECT_EQ(channel.Specs()[3].capacity, 18u);
  EXPECT_EQ(result.status, kStatusNormal);
  EXPECT_TRUE(result.saveEnabled);
  EXPECT_TRUE(result.message.empty());
  EXPECT_EQ(events.counts, std::vector<int32_t>{5});
  ASSERT_EQ(events.rows.size(), 5u);
  EXPECT_EQ(events.rows[4].time, "2023年05月06日07时05分");
  EXPECT_EQ(events.progress.front(), std::make_pair(int64_t{0}, int64_t{5}));
  EXPECT_EQ(events.progress.back(), std::make_pair(int64_t{5}, int64_t{5}));
}

TEST(TransmitterDownload, ABlockThatFailsThreeTimesLeavesErrRowsAndTheRestCome) {
  ScriptedChannel channel;
  channel.Expect(CountRequest(1), CountReply(5, 3, 18));
  channel.Expect(BlockRequest(1, 1), BlockReply(27, {Minute(1), Minute(2)}));
  Bytes badSum = BlockReply(27, {Minute(3), Minute(4)});
  badSum.back() ^= 1;
  channel.Expect(BlockRequest(1, 2), badSum);
  channel.Expect(BlockRequest(1, 2), {});
  channel.Expect(BlockRequest(1, 2), Bytes(26, 0));
  channel.Expect(BlockRequest(1, 3), BlockReply(18, {Minute(5)}));
  std::atomic<bool> proceed{true};
  Recorder events;
  const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_TRUE(result.message.empty());  // no message box for a failed block
  EXPECT_TRUE(result.saveEnabled);
  ASSERT_EQ(events.rows.size(), 5u);
  EXPECT_EQ(events.rows[2], MissingRecordRow());
  EXPECT_EQ(events.rows[3], (RecordRow{"2000年00月00日00时00分", {"err", "err"}}));
  EXPECT_EQ(events.rows[4].values, (std::vector<std::string>{"23.1", "60.0"}));
}

TEST(TransmitterDownload, NoRecordsAFailedCountAndAClosedPort) {
  {
    ScriptedChannel channel;
    channel.Expect(CountRequest(1), CountReply(0, 0, 18));
    std::atomic<bool> proceed{true};
    Recorder events;
    const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
    EXPECT_EQ(result.status, kStatusNormal);
    EXPECT_FALSE(result.saveEnabled);
    EXPECT_EQ(events.counts, std::vector<int32_t>{0});
    EXPECT_TRUE(events.progress.empty());
    EXPECT_TRUE(events.rows.empty());
  }
  {
    ScriptedChannel channel;
    Bytes bad = CountReply(5, 3, 18);
    bad.back() ^= 0xFF;
    channel.Expect(CountRequest(1), bad);
    std::atomic<bool> proceed{true};
    Recorder events;
    const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
    EXPECT_EQ(result.status, kStatusError);
    EXPECT_EQ(result.message, "数据读取失败");
    EXPECT_TRUE(events.counts.empty());
    EXPECT_EQ(channel.Sent().size(), 1u);
  }
  {
    ScriptedChannel channel;
    channel.Expect(CountRequest(1), {}, devlink::ExchangeStatus::PortNotOpen);
    std::atomic<bool> proceed{true};
    Recorder events;
    const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
    EXPECT_EQ(result.message, "串口打开失败");
    EXPECT_EQ(result.status, kStatusError);
  }
}

TEST(TransmitterDownload, CancelLeavesTheListEmpty) {
  ScriptedChannel channel;
  channel.Expect(CountRequest(1), CountReply(5, 3, 18));
  channel.Expect(BlockRequest(1, 1), BlockReply(27, {Minute(1), Minute(2)}));
  std::atomic<bool> proceed{true};
  Recorder events;
  events.proceed = &proceed;
  events.stopAt = 1;  // cleared after the first record slot: the second slot is not taken
  const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(result.status, kStatusStopped);
  EXPECT_TRUE(result.stopped);
  EXPECT_FALSE(result.saveEnabled);
  EXPECT_TRUE(events.rows.empty());
  EXPECT_EQ(events.progress.back().first, 1);
}

// Chunks handed out one per read cycle; an exhausted script reads nothing.
class ScriptedStream : public StreamLine {
 public:
  explicit ScriptedStream(std::vector<std::string> chunks, StreamStart start = StreamStart::Sent)
      : start_(start) {
    for (auto& c : chunks) chunks_.emplace_back(c.begin(), c.end());
  }
  StreamStart Start(devlink::ByteView request) override {
    sent.emplace_back(request.begin(), request.end());
    return start_;
  }
  Bytes ReadCycle() override {
    ++cycles;
    if (chunks_.empty()) return {};
    Bytes chunk = std::move(chunks_.front());
    chunks_.pop_front();
    return chunk;
  }
  void Finish() override { ++finished; }
  std::vector<Bytes> sent;
  int cycles = 0;
  int finished = 0;

 private:
  StreamStart start_;
  std::deque<Bytes> chunks_;
};

std::string Head(int n, int count) {
  return std::string("\x55\x55\x55", 3) + static_cast<char>(n) + static_cast<char>(count & 0xFF) +
         static_cast<char>(count >> 8) + std::string(1, '\0');
}

const std::string kEnd("\xAA\xAA\xAA", 3);

TEST(GprsDownload, LinesArriveAcrossChunksAndEmptyLinesAreDropped) {
  ScriptedStream stream({Head(3, 3),  // the head alone: later chunks are still text
                         "2023-05-06 07:08 12.5 45.0 7\r\n\r\n2023-05-06 07:",
                         "09 13.5 46.0 \r\n2023-05-06 07:10 14.5 47.0 \r\n" + kEnd});
  ScriptedChannel channel;
  std::atomic<bool> proceed{true};
  Recorder events;
  const DownloadResult result =
      Download(channel, &stream, {Source::Gprs, DownloadKind::Print}, proceed, events);
  ASSERT_EQ(stream.sent.size(), 1u);
  EXPECT_EQ(stream.sent[0], GprsRequest(DownloadKind::Print));
  EXPECT_TRUE(channel.Sent().empty());
  EXPECT_EQ(stream.cycles, 3);
  EXPECT_EQ(stream.finished, 1);
  EXPECT_EQ(result.status, kStatusNormal);
  EXPECT_TRUE(result.saveEnabled);
  EXPECT_EQ(result.valueCount, 3);
  EXPECT_EQ(events.counts, std::vector<int32_t>{3});
  ASSERT_EQ(events.rows.size(), 3u);
  EXPECT_EQ(events.rows[0].values, (std::vector<std::string>{"12.5", "45.0"}));
  EXPECT_EQ(events.rows[1].time, "2023年05月06日07时09分");
  EXPECT_EQ(events.progress.back(), std::make_pair(int64_t{3}, int64_t{3}));
}

TEST(GprsDownload, TextStopsAtAZeroByteAndASilentCycleEndsTheStream) {
  ScriptedStream stream({Head(2, 2) + "2023-05-06 07:08 1.0 2.0 \r\n" + std::string(1, '\0') +
                         "junk\r\n"});
  ScriptedChannel channel;
  std::atomic<bool> proceed{true};
  Recorder events;
  const DownloadResult result = Download(channel, &stream, {Source::Gprs}, proceed, events);
  EXPECT_EQ(events.rows.size(), 1u);
  EXPECT_EQ(stream.cycles, 2);
  // Two records announced, one arrived: the line is kept and may be saved, but the download is
  // not reported as whole.
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_EQ(result.missing, 1);
  EXPECT_TRUE(result.saveEnabled);
}

TEST(GprsDownload, FailuresBeforeAnyRecord) {
  struct Case {
    std::vector<std::string> chunks;
    StreamStart start;
    const char* message;
    int cycles;
  } cases[] = {
      {{std::string("\x55\x55\x55\x02\x01\x00", 6)}, StreamStart::Sent, "数据读取失败", 1},
      {{std::string("\x55\x55\x54\x02\x01\x00\x00", 7)}, StreamStart::Sent, "数据读取失败", 1},
      {{}, StreamStart::Sent, "数据读取失败", 1},                 // silence
      {{Head(2, 1)}, StreamStart::NotSerial, "数据读取失败", 0},  // TCP: nothing sent
      {{Head(2, 1)}, StreamStart::PortNotOpen, "串口打开失败", 0},
  };
  for (const Case& c : cases) {
    ScriptedStream stream(c.chunks, c.start);
    ScriptedChannel channel;
    std::atomic<bool> proceed{true};
    Recorder events;
    const DownloadResult result = Download(channel, &stream, {Source::Gprs}, proceed, events);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(result.status, kStatusError);
    EXPECT_FALSE(result.saveEnabled);
    EXPECT_EQ(stream.cycles, c.cycles);
    EXPECT_TRUE(events.rows.empty());
  }
  // Without a serial line behind the channel there is no stream at all.
  ScriptedChannel channel;
  std::atomic<bool> proceed{true};
  Recorder events;
  EXPECT_EQ(Download(channel, nullptr, {Source::Gprs}, proceed, events).message, "数据读取失败");
}

TEST(GprsDownload, ZeroRecordsEndAtOnceAndCancelKeepsTheRowsSoFar) {
  {
    ScriptedStream stream({Head(2, 0), "2023-05-06 07:08 1.0 2.0 \r\n"});
    ScriptedChannel channel;
    std::atomic<bool> proceed{true};
    Recorder events;
    const DownloadResult result = Download(channel, &stream, {Source::Gprs}, proceed, events);
    EXPECT_EQ(stream.cycles, 1);
    EXPECT_EQ(result.status, kStatusNormal);
    EXPECT_FALSE(result.saveEnabled);
    EXPECT_EQ(events.counts, std::vector<int32_t>{0});
  }
  {
    ScriptedStream stream({Head(2, 3) + "2023-05-06 07:08 1.0 2.0 \r\n2023-05-06 07:09 1.0 2.0 \r\n",
                           "2023-05-06 07:10 1.0 2.0 \r\n" + kEnd});
    ScriptedChannel channel;
    std::atomic<bool> proceed{true};
    Recorder events;
    events.proceed = &proceed;
    events.stopAt = 1;
    const DownloadResult result = Download(channel, &stream, {Source::Gprs}, proceed, events);
    EXPECT_EQ(result.status, kStatusStopped);
    EXPECT_FALSE(result.saveEnabled);
    EXPECT_EQ(events.rows.size(), 1u);
    EXPECT_EQ(stream.cycles, 1);
    EXPECT_EQ(stream.finished, 1);
  }
}

}  // namespace
}  // namespace pages::history
