// Replies that cannot be: a negative record count fails the download, records with an
// impossible time are kept but marked, in the list rows and in both export formats.
#include <gtest/gtest.h>

#include <cstring>

#include "history/history_commands.h"
#include "history/history_export.h"
#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::history {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

// A count or block reply: payload from byte 5, 'f', Sum8 (the block's length byte is not read).
Bytes Reply(const Bytes& payload) { return testing::SumReply(0x01, 0x06, payload); }

struct Collected : DownloadEvents {
  void Rows(std::vector<RecordRow> more) override {
    for (auto& r : more) rows.push_back(std::move(r));
  }
  std::vector<RecordRow> rows;
};

TEST(ImpossibleHistory, ASignedRecordCountIsAFailedReadNotAnEmptyHistory) {
  ScriptedChannel channel(1);
  // records 80 05 (-5 in sign-magnitude), 1 block of 90 bytes.
  channel.Expect({}, Reply({0x05, 0x80, 0x01, 0x00, 0x5A, 0x00}));
  const std::atomic<bool> proceed{true};
  Collected events;
  const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
  EXPECT_EQ(result.status, kStatusError);
  EXPECT_EQ(result.message, "数据读取失败");
  EXPECT_EQ(result.detail, "record count -5 is negative");
  EXPECT_FALSE(result.recordCount.has_value());
  EXPECT_FALSE(result.saveEnabled);
  EXPECT_EQ(channel.Sent().size(), 1u);  // no block asked for
}

TEST(ImpossibleHistory, RecordsWithAnImpossibleTimeAreMarkedCountedAndExportedAsSuch) {
  const HistoryRecord good{0x24, 0x02, 0x29, 0x07, 0x08, 0xFA, 0x00, 0x58, 0x02};
  const HistoryRecord month99{0x24, 0x99, 0x99, 0x07, 0x08, 0x9C, 0xFF, 0x58, 0x02};
  const HistoryRecord badDigit{0x24, 0x01, 0x1A, 0x07, 0x08, 0x00, 0x00, 0x00, 0x00};
  ScriptedChannel channel(1);
  channel.Expect({}, Reply({0x03, 0x00, 0x01, 0x00, 27, 0x00}));
  Bytes block{0, 0};
  for (const auto& r : {good, month99, badDigit}) block.insert(block.end(), r.begin(), r.end());
  channel.Expect({}, Reply(block));
  const std::atomic<bool> proceed{true};
  Collected events;
  const DownloadResult result = Download(channel, nullptr, {}, proceed, events);
  ASSERT_EQ(events.rows.size(), 3u);
  EXPECT_EQ(result.status, kStatusNormal);
  EXPECT_EQ(result.impossibleTimes, 2u);
  EXPECT_EQ(events.rows[0], (RecordRow{"2024年02月29日07时08分", {"25.0", "60.0"}, false}));
  EXPECT_EQ(events.rows[1], (RecordRow{"24 99 99 07 08（时间无效）", {"-10.0", "60.0"}, true}));
  EXPECT_TRUE(events.rows[2].impossibleTime);

  // CSV: the marked time cell as it is; .data: -1 in the five time fields, the values kept.
  const std::tm at{};
  const std::string csv = [&] {
    const Bytes gbk = CsvBytes(events.rows, at);
    return std::string(gbk.begin(), gbk.end());
  }();
  EXPECT_NE(csv.find("2,24 99 99 07 08"), std::string::npos);
  const Bytes data = RecordDataBytes(events.rows, 2);
  const size_t second = 8 + 32;
  int32_t fields[6];
  float values[2];
  std::memcpy(fields, data.data() + second, sizeof fields);
  std::memcpy(values, data.data() + second + 24, sizeof values);
  EXPECT_EQ((std::vector<int32_t>(fields, fields + 6)), (std::vector<int32_t>{-1, -1, -1, -1, -1, 0}));
  EXPECT_FLOAT_EQ(values[0], -10.0f);
  std::memcpy(fields, data.data() + 8, sizeof fields);
  EXPECT_EQ(fields[0], 2024);
}

TEST(ImpossibleHistory, GprsLinesWithAnImpossibleTimeAreMarked) {
  EXPECT_FALSE(ParseGprsLine("2024-02-29 23:59 25.0 60.0 ").impossibleTime);
  for (const char* line : {"2024-13-01 07:08 25.0 60.0 ", "2023-02-29 07:08 1 2 ",
                           "2024-01-01 24:00 1 2 ", "2024-0a-01 07:08 1 2 "}) {
    const RecordRow row = ParseGprsLine(line);
    EXPECT_TRUE(row.impossibleTime) << line;
    EXPECT_EQ(row.values.size(), 2u) << line;
  }
}

}  // namespace
}  // namespace pages::history
