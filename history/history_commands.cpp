#include "history/history_commands.h"

#include <algorithm>
#include <cstdio>

#include "link/checks.h"
#include "link/codecs.h"
#include "link/relay_frame.h"
#include "link/reply_reader.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/messages.h"

namespace pages::history {

using devlink::Bytes;

namespace {

constexpr uint8_t kRequestStart = 0x25;  // '%'
constexpr uint8_t kEnd = 0x66;           // 'f'
constexpr uint8_t kHistoryCommand = 0x06;
constexpr uint8_t kHistorySub = 0xAA;
constexpr uint8_t kStreamHead = 0x55;
constexpr uint8_t kStreamEnd = 0xAA;

std::string Format(const char* format, auto... values) {
  char text[96];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// The byte ranges of a GPRS line's time, as text: year, month, day, hour, minute.
constexpr std::array<std::pair<size_t, size_t>, 5> kLineTime{
    {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}}};
constexpr std::array<const char*, 5> kTimeUnits{"年", "月", "日", "时", "分"};
constexpr size_t kLineValuesFrom = 17;

std::string FromDevice(std::string_view bytes) {
  return devlink::DecodeDeviceText(devlink::kCodePageOem,
                                   reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string_view Piece(std::string_view text, size_t from, size_t count) {
  if (from >= text.size()) return {};
  return text.substr(from, count);
}

// Whether a GPRS line's "yyyy-mm-dd hh:mm" is all digits and a real date and time.
bool GprsTimePossible(std::string_view line) {
  int fields[5];
  for (size_t i = 0; i < kLineTime.size(); ++i) {
    const std::string_view digits = Piece(line, kLineTime[i].first, kLineTime[i].second);
    if (digits.size() != kLineTime[i].second) return false;
    fields[i] = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      fields[i] = fields[i] * 10 + (c - '0');
    }
  }
  return devlink::DateTimeProblem({fields[0], fields[1], fields[2], fields[3], fields[4], 0})
      .empty();
}

// Only the length and the sum of the last byte are checked: the head, the echo and the end
// byte are the instrument's own business here (byte 4 is no length: a block may be longer than
// 255 bytes). On TCP the channel's rule (at least the length, '<', the sum) is the whole check.
ReplyRule HistoryRule(size_t length) {
  return SumRule(length).NoStart().NoEcho().NoEnd().ChannelRuleSuffices().NoLengthInHeader();
}

DownloadResult Finish(DownloadResult result, bool linkOk, const std::atomic<bool>& proceed) {
  result.stopped = !proceed.load();
  result.status = result.stopped ? kStatusStopped : linkOk ? kStatusNormal : kStatusError;
  if (result.stopped) result.saveEnabled = false;
  return result;
}

// A block that failed with no byte in any attempt: the detail of a reply that arrived names
// its length ("reply 11 bytes, ..."); silence, a refused connection or a time-out do not.
bool ReceivedNothing(const Outcome& outcome) {
  return !std::string_view(outcome.detail).starts_with("reply");
}

DownloadResult DownloadTransmitter(devlink::Channel& channel, const DownloadRequest& request,
                                   const std::atomic<bool>& proceed, DownloadEvents& events) {
  DownloadResult result;
  result.valueCount = kTransmitterValueCount;
  const uint8_t address = channel.DeviceAddress();
  auto count = RunExchange(channel, CountRequest(address), HistoryRule(kCountReplyLength),
                           kReadFailed);
  if (!count.ok()) {
    result.message = count.message();
    result.detail = count.outcome.detail;
    return Finish(std::move(result), false, proceed);
  }
  const auto announced = DecodeCountReply(count.value);
  if (!announced.ok()) {
    result.message = announced.message();
    result.detail = announced.outcome.detail;
    return Finish(std::move(result), false, proceed);
  }
  const auto [records, blocks, blockSize] = announced.value;
  result.recordCount = records;
  result.blockCount = blocks;
  result.blockSize = blockSize;
  events.CountAnnounced(records);
  if (records <= 0) return Finish(std::move(result), true, proceed);

  bool linkOk = true;
  // One entry per announced record; a record no block delivered stays empty.
  std::vector<std::optional<HistoryRecord>> table(static_cast<size_t>(records));
  size_t next = 0;
  int silentInARow = 0;
  events.Progress(0, records);
  for (int block = 1; block <= blocks; ++block) {
    if (!proceed.load()) return Finish(std::move(result), linkOk, proceed);
    const size_t expected = ExpectedBlockLength(block, blocks, blockSize, records);
    std::optional<Bytes> data;
    bool silent = true;
    for (int attempt = 0; attempt < kBlockAttempts && expected != 0 && !data; ++attempt) {
      auto got = RunExchange(channel, BlockRequest(address, block), HistoryRule(expected),
                             kReadFailed);
      if (got.ok()) {
        data = std::move(got.value);
      } else if (PortLost(got.outcome)) {
        // The port is closed or gone: asking again cannot help. The rows so far are kept.
        result.message = got.message();
        result.detail = got.outcome.detail;
        silent = false;
        linkOk = false;
        break;
      } else if (!ReceivedNothing(got.outcome)) {
        silent = false;
      }
    }
    if (!result.message.empty()) break;
    if (!data && expected != 0) {
      linkOk = false;
      events.BlocksFailed(++result.failedBlocks);
      silentInARow = silent ? silentInARow + 1 : 0;
      if (request.silentBlockLimit > 0 && silentInARow >= request.silentBlockLimit) {
        result.message = kStatusError;
        result.detail = std::to_string(silentInARow) + " blocks in a row received nothing";
        break;
      }
    } else {
      silentInARow = 0;
    }
    if (!data) linkOk = false;
    for (size_t at = kBlockRecordsFrom; at + 2 < expected; at += kRecordSize) {
      if (!proceed.load()) return Finish(std::move(result), linkOk, proceed);
      if (next >= table.size()) break;  // more slots than announced records: nowhere to go
      if (data && at + kRecordSize <= data->size()) {
        HistoryRecord record;
        std::copy_n(data->begin() + static_cast<std::ptrdiff_t>(at), kRecordSize, record.begin());
        table[next] = record;
      } else {
        linkOk = false;
      }
      ++next;
      events.Progress(static_cast<int64_t>(next), records);
    }
  }
  if (!proceed.load()) return Finish(std::move(result), linkOk, proceed);
  // Records the announced blocks did not cover are missing too.
  if (next < table.size()) linkOk = false;
  std::vector<RecordRow> rows;
  rows.reserve(table.size());
  for (const auto& record : table) {
    if (record) {
      rows.push_back(DescribeRecord(*record));
    } else {
      rows.push_back(MissingRecordRow());
      ++result.missing;
    }
  }
  result.rows = rows.size();
  result.impossibleTimes = static_cast<size_t>(
      std::count_if(rows.begin(), rows.end(), [](const RecordRow& r) { return r.impossibleTime; }));
  events.Rows(std::move(rows));
  result.saveEnabled = true;
  if (result.detail.empty() && result.failedBlocks > 0) {
    result.detail = std::to_string(result.failedBlocks) + " blocks failed every attempt";
  }
  return Finish(std::move(result), linkOk, proceed);
}

DownloadResult DownloadGprs(StreamLine* stream, DownloadKind kind,
                            const std::atomic<bool>& proceed, DownloadEvents& events) {
  DownloadResult result;
  const StreamStart start = stream ? stream->Start(GprsRequest(kind)) : StreamStart::NotSerial;
  if (start != StreamStart::Sent) {
    result.message = start == StreamStart::PortNotOpen ? kPortOpenFailed : kReadFailed;
    return Finish(std::move(result), false, proceed);
  }
  bool linkOk = true;
  bool headSeen = false;
  int32_t records = 0;
  std::string pending;
  while (proceed.load()) {
    const Bytes chunk = stream->ReadCycle();
    size_t textFrom = 0;
    if (!headSeen) {
      // The head is taken once, from the first chunk; later chunks are text even while no line
      // has completed yet.
      if (chunk.size() < kGprsHeadLength || chunk[0] != kStreamHead || chunk[1] != kStreamHead ||
          chunk[2] != kStreamHead) {
        linkOk = false;
        break;
      }
      headSeen = true;
      devlink::ReplyReader head(chunk, 3);
      result.valueCount = head.U8();
      records = head.SignMag16Le();
      head.Require(records >= 0, "record count " + std::to_string(records) + " is negative");
      if (!head.ok()) {
        result.detail = head.problem();
        linkOk = false;
        break;
      }
      result.recordCount = records;
      events.CountAnnounced(records);
      if (records == 0) {
        stream->Finish();
        return Finish(std::move(result), linkOk, proceed);
      }
      events.Progress(0, records);
      textFrom = kGprsHeadLength;
    } else if (chunk.empty()) {
      break;  // the module fell silent for a whole cycle (or the port went away)
    }
    const auto* text = reinterpret_cast<const char*>(chunk.data());
    const size_t zero = std::find(chunk.begin() + static_cast<std::ptrdiff_t>(textFrom),
                                  chunk.end(), 0) - chunk.begin();
    pending.append(text + textFrom, zero - textFrom);
    size_t lineEnd;
    while (proceed.load() && (lineEnd = pending.find("\r\n")) != std::string::npos) {
      const std::string line = pending.substr(0, lineEnd);
      pending.erase(0, lineEnd + 2);
      if (line.empty()) continue;
      RecordRow row = ParseGprsLine(line);
      if (row.impossibleTime) ++result.impossibleTimes;
      events.Rows({std::move(row)});
      ++result.rows;
      const int64_t maximum = std::max<int64_t>(records, static_cast<int64_t>(result.rows));
      events.Progress(static_cast<int64_t>(result.rows), maximum);
    }
    const size_t n = chunk.size();
    if (n >= 3 && chunk[n - 1] == kStreamEnd && chunk[n - 2] == kStreamEnd &&
        chunk[n - 3] == kStreamEnd) {
      break;
    }
  }
  stream->Finish();
  if (headSeen && static_cast<int64_t>(result.rows) < records) {
    result.missing = records - static_cast<int64_t>(result.rows);
  }
  const std::string lost = stream->LostPort();
  if (!lost.empty()) {
    // The rows that arrived before the port went away stay, and may be saved.
    result.message = lost;
    result.saveEnabled = proceed.load();
    return Finish(std::move(result), false, proceed);
  }
  // Fewer lines than the head announced: records were lost on the way (with the fixed delay a
  // read cycle takes at most 392 bytes, so a fast line overruns the receive queue). The lines
  // that came may be saved; the download is not reported as whole.
  if (linkOk && result.missing > 0 && proceed.load()) {
    result.message = kReadFailed;
    result.detail = std::to_string(result.missing) + " of " + std::to_string(records) +
                    " announced records not received";
    result.saveEnabled = true;
    return Finish(std::move(result), false, proceed);
  }
  result.saveEnabled = linkOk && proceed.load();
  if (!linkOk) result.message = kReadFailed;
  return Finish(std::move(result), linkOk, proceed);
}

}  // namespace

Result<CountAnnouncement> DecodeCountReply(devlink::ByteView reply) {
  devlink::ReplyReader in(reply, 5);
  CountAnnouncement count;
  count.records = in.SignMag16Le();
  count.blocks = in.SignMag16Le();
  count.blockSize = in.SignMag16Le();
  // The sign bit set on a count is no count: -5 records must not read as an empty history.
  for (const auto& [value, name] : {std::pair{count.records, "record count"},
                                    {count.blocks, "block count"},
                                    {count.blockSize, "block size"}}) {
    in.Require(value >= 0, std::string(name) + " " + std::to_string(value) + " is negative");
  }
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, count};
}

RecordRow DescribeRecord(const HistoryRecord& r) {
  RecordRow row;
  devlink::ReplyReader in(r);
  devlink::DateTime time;
  time.year = 2000 + in.Bcd();
  time.month = in.Bcd();
  time.day = in.Bcd();
  time.hour = in.Bcd();
  time.minute = in.Bcd();
  in.RequireDateTime(time);
  if (in.ok()) {
    row.time = Format("%d年%.2d月%.2d日%.2d时%.2d分", time.year, time.month, time.day, time.hour,
                      time.minute);
  } else {
    row.time = devlink::FormatHex(devlink::ByteView(r).first(5)) + kImpossibleTimeMark;
    row.impossibleTime = true;
  }
  devlink::ReplyReader values(r, 5);
  row.values = {Format("%.1f", values.Tenths16Le()), Format("%.1f", values.Tenths16Le())};
  return row;
}

RecordRow MissingRecordRow() { return {kMissingTime, {kMissingValue, kMissingValue}}; }

Bytes CountRequest(uint8_t address) {
  Bytes frame{kRequestStart, address, kHistoryCommand, kHistorySub, 0x00, kEnd, 0};
  frame.back() = devlink::Sum8(frame.data(), 6);
  return frame;
}

Bytes BlockRequest(uint8_t address, int block) {
  Bytes frame{kRequestStart, address, kHistoryCommand, kHistorySub, 0x02,
              static_cast<uint8_t>(block & 0xFF), static_cast<uint8_t>((block >> 8) & 0xFF),
              kEnd, 0};
  frame.back() = devlink::Sum8(frame.data(), 8);
  return frame;
}

size_t ExpectedBlockLength(int block, int blockCount, int blockSize, int recordCount) {
  int64_t length;
  if (block < blockCount) {
    length = int64_t{blockSize} + 9;
  } else {
    const int64_t earlier = int64_t{blockCount - 1} * blockSize / static_cast<int64_t>(kRecordSize);
    length = static_cast<int64_t>(kRecordSize) * (recordCount - earlier) + 9;
  }
  // A layout that gives no record slot (or an absurd length) has no reply to wait for.
  return length > static_cast<int64_t>(kBlockRecordsFrom + 2) && length <= 0xFFFF
             ? static_cast<size_t>(length)
             : 0;
}

// The GPRS module's variant of the '%'-frame: the byte after the command counts the bytes that
// follow it, and a CRC-16/MODBUS over bytes 1-6 ends it, high byte first.
Bytes GprsRequest(DownloadKind kind) {
  // The relay's frame with its CRC, high byte first: 25 30 30 00 kind 03 66 CRC.
  return devlink::BuildRelayFrame(static_cast<uint8_t>(kind), {}, devlink::RelayCrc::HighFirst);
}

RecordRow ParseGprsLine(std::string_view line) {
  RecordRow row;
  for (size_t i = 0; i < kLineTime.size(); ++i) {
    row.time += FromDevice(Piece(line, kLineTime[i].first, kLineTime[i].second));
    row.time += kTimeUnits[i];
  }
  row.impossibleTime = !GprsTimePossible(line);
  if (row.impossibleTime) row.time += kImpossibleTimeMark;
  // Each value ends at a space; what follows the last space is not a value, and a space at the
  // start of the rest ends the values.
  std::string_view rest = Piece(line, kLineValuesFrom, std::string_view::npos);
  size_t space;
  while ((space = rest.find(' ')) != std::string_view::npos && space > 0) {
    if (row.values.size() < kListValueColumns) row.values.push_back(FromDevice(rest.substr(0, space)));
    rest.remove_prefix(space + 1);
  }
  return row;
}

DownloadResult Download(devlink::Channel& channel, StreamLine* stream,
                        const DownloadRequest& request, const std::atomic<bool>& proceed,
                        DownloadEvents& events) {
  if (request.source == Source::Transmitter) {
    return DownloadTransmitter(channel, request, proceed, events);
  }
  return DownloadGprs(stream, request.kind, proceed, events);
}

}  // namespace pages::history
