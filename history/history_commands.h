#pragma once
// History download: the records an instrument has stored, fetched from a transmitter (SumFrame
// blocks) or a GPRS module (a text record stream), reported as the rows of the record list.
// Qt-free; the page runs it on its worker thread, tool-cli on its own.
//
// Transmitter: count request 25 addr 06 AA 00 66 sum -> 13 bytes (records, blocks, block size,
// sign-magnitude, low byte first); then blocks 1..n: 25 addr 06 AA 02 lo hi 66 sum -> block size
// + 9 bytes (the last block: 9 per remaining record + 9), records from byte 7, 9 bytes each,
// up to 3 attempts per block.
// GPRS: 25 30 30 00 kind 03 66 crc-hi crc-lo written once -> 55 55 55 N count-lo count-hi x,
// then text lines "yyyy-mm-dd hh:mm v1 v2 ... " ending in CR LF, then AA AA AA.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/stream_line.h"

namespace pages::history {

// Status of the last download.
inline constexpr const char* kStatusNormal = "通讯正常";
inline constexpr const char* kStatusError = "通讯出错";
inline constexpr const char* kStatusStopped = "通讯终止";
// A record whose block failed every attempt: no reading at all, which must not look like 0.0.
inline constexpr const char* kMissingValue = "err";
inline constexpr const char* kMissingTime = "2000年00月00日00时00分";
// A record whose time cannot be (month 0x99, 25 o'clock): its values are kept, its time cell
// shows the raw BCD bytes (or the stream's text) followed by this mark.
inline constexpr const char* kImpossibleTimeMark = "（时间无效）";
// What the page shows after a download that held such records ("%d": how many).
inline constexpr const char* kImpossibleTimesFormat = "%d条记录的时间无效，已在列表中标记";

enum class Source { Transmitter, Gprs };
// The request byte of a GPRS download tells which records the module sends.
enum class DownloadKind : uint8_t { History = 0x46 /* 'F' */, Print = 0x45 /* 'E' */ };

inline constexpr size_t kRecordSize = 9;
inline constexpr size_t kCountReplyLength = 13;
inline constexpr size_t kBlockRecordsFrom = 7;  // first record byte of a block reply
inline constexpr int kBlockAttempts = 3;
inline constexpr int kTransmitterValueCount = 2;
inline constexpr size_t kGprsHeadLength = 7;
// The record list has two value columns (temperature, humidity); values beyond them are not kept.
inline constexpr size_t kListValueColumns = 2;

// One stored record of a transmitter: BCD year-2000, month, day, hour, minute, then temperature
// and humidity in signed tenths, low byte first.
using HistoryRecord = std::array<uint8_t, kRecordSize>;

// One row of the record list as it is displayed; its number is its position from 1.
struct RecordRow {
  std::string time;                 // column 1
  std::vector<std::string> values;  // columns 2, 3, ...
  bool impossibleTime = false;      // the record's time cannot be; `time` shows what came
  bool operator==(const RecordRow&) const = default;
};

// The row of a record; one whose BCD time is not a real date and time keeps its values and is
// marked (impossibleTime, the raw bytes and kImpossibleTimeMark as its time).
RecordRow DescribeRecord(const HistoryRecord& record);
RecordRow MissingRecordRow();  // kMissingTime, "err" in both value columns

devlink::Bytes CountRequest(uint8_t address);
devlink::Bytes BlockRequest(uint8_t address, int block);
// Reply length of block `block` (1-based); 0 when the announced layout gives none.
size_t ExpectedBlockLength(int block, int blockCount, int blockSize, int recordCount);
// The GPRS module's request (its CRC over bytes 1-6, high byte first).
devlink::Bytes GprsRequest(DownloadKind kind);
// One text line of a GPRS stream (without its CR LF) as a list row; a line whose time is not a
// real date and time is marked as DescribeRecord marks a record.
RecordRow ParseGprsLine(std::string_view line);

// The record count, block count and block size a count reply announces (sign-magnitude, low
// byte first, from payload byte 0), or the failure when one of them is negative or the reply
// too short for them: detail says which.
struct CountAnnouncement {
  int32_t records = 0;
  int32_t blocks = 0;
  int32_t blockSize = 0;
};
Result<CountAnnouncement> DecodeCountReply(devlink::ByteView reply);

// What a running download reports, in order, on the thread that runs it.
class DownloadEvents {
 public:
  virtual ~DownloadEvents() = default;
  virtual void CountAnnounced(int32_t count) { (void)count; }
  // {0, maximum} first, when the records begin to arrive; then after each record.
  virtual void Progress(int64_t current, int64_t maximum) { (void)current, (void)maximum; }
  virtual void Rows(std::vector<RecordRow> rows) { (void)rows; }
  // After each block that failed every attempt: how many blocks have failed so far.
  virtual void BlocksFailed(int failed) { (void)failed; }
};

struct DownloadRequest {
  Source source = Source::Transmitter;
  DownloadKind kind = DownloadKind::History;
  // Stop after this many consecutive blocks that received no byte at all (an instrument that
  // went silent); 0 asks every block, as the window does (its progress dialog can cancel).
  int silentBlockLimit = 0;
};

// Consecutive silent blocks after which tool-cli gives a download up.
inline constexpr int kSilentBlockLimit = 3;

struct DownloadResult {
  std::string status = kStatusNormal;  // one of the three status texts
  std::string message;                 // to show in a message box; empty: none
  std::string detail;                  // why the link failed, in the traffic view's words
  bool stopped = false;                // the proceed flag was cleared
  bool saveEnabled = false;            // the list may be saved
  std::optional<int32_t> recordCount;  // as announced
  int32_t blockCount = 0;              // transmitter: as announced
  int32_t blockSize = 0;               // transmitter: bytes of a full block, as announced
  int valueCount = kTransmitterValueCount;
  size_t rows = 0;                     // rows reported
  int failedBlocks = 0;                // blocks that failed every attempt
  int64_t missing = 0;                 // announced records that were not received
  size_t impossibleTimes = 0;          // rows marked impossibleTime
};

// Runs one download. `proceed` is polled before each block, record slot, read cycle and line;
// clearing it stops the download. `stream` carries the GPRS source (null: that source fails).
DownloadResult Download(devlink::Channel& channel, StreamLine* stream,
                        const DownloadRequest& request, const std::atomic<bool>& proceed,
                        DownloadEvents& events);

CommandSet Commands();

}  // namespace pages::history
