// Fuzz target: the history download from fuzzed replies. Byte 0: bit 0 the source (transmitter
// blocks or the GPRS text stream), bit 1 the download kind, bit 2 the TCP channel, bit 3 the
// line and record decoders alone on the rest of the input, bit 4 replies repaired to their Sum8
// (see FuzzChannel), bit 5 downloads of any size (see kLargeDownload); then the replies
// (transmitter) or the stream's chunks (GPRS). Besides crashes and sanitizer reports, the rows must agree with what
// the download says it reported and progress must stay within its maximum; texts that are not
// UTF-8 are noted.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz/fuzz_channel.h"
#include "history/history_commands.h"

namespace {

using fuzzing::Check;
using fuzzing::CheckUtf8;
namespace history = pages::history;

// A silent instrument is asked every block; past this many silent exchanges or read cycles the
// download is cancelled, as the user would, so that one input stays short.
constexpr size_t kSilentLimit = 64;
// Downloads of more records than this are cancelled at their start unless mode bit 5 lets them
// run: tens of thousands of rows take long enough to slow the fuzzing down a hundredfold.
constexpr int64_t kLargeDownload = 2048;

void CheckRow(const history::RecordRow& row) {
  CheckUtf8(row.time, "record time");
  for (const std::string& value : row.values) CheckUtf8(value, "record value");
}

class Events : public history::DownloadEvents {
 public:
  Events(std::atomic<bool>& proceed, const fuzzing::FuzzStreamLine& stream, bool large)
      : proceed_(proceed), stream_(stream), large_(large) {}
  void CountAnnounced(int32_t count) override { announced_ = count; }
  void Progress(int64_t current, int64_t maximum) override {
    // A negative announced count is a known fault of its own (refused by the reply reader).
    if (maximum >= 0) Check(current >= 0 && current <= maximum);
    if (current == 0 && maximum > kLargeDownload && !large_) proceed_ = false;
    if (stream_.SilentCycles() > kSilentLimit) proceed_ = false;
  }
  void Rows(std::vector<history::RecordRow> rows) override {
    for (const auto& row : rows) CheckRow(row);
    rows_ += rows.size();
  }
  size_t rows_ = 0;
  std::optional<int32_t> announced_;

 private:
  std::atomic<bool>& proceed_;
  const fuzzing::FuzzStreamLine& stream_;
  bool large_;
};

void Decoders(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckRow(history::ParseGprsLine(text));
  if (size >= history::kRecordSize) {
    history::HistoryRecord record;
    std::memcpy(record.data(), data, record.size());
    CheckRow(history::DescribeRecord(record));
  }
  if (size >= 8) {
    // The block layout as a count reply announces it: sign-magnitude, low byte first.
    auto signMag = [&](size_t at) {
      const int32_t magnitude = (data[at + 1] & 0x7F) << 8 | data[at];
      return (data[at + 1] & 0x80) ? -magnitude : magnitude;
    };
    const int block = signMag(0), blocks = signMag(2), blockSize = signMag(4), records = signMag(6);
    const size_t length = history::ExpectedBlockLength(block, blocks, blockSize, records);
    Check(length == 0 || length >= history::kBlockRecordsFrom + 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  if (mode & 0x08) {
    Decoders(data + 1, size - 1);
    return 0;
  }
  fuzzing::FuzzInput input(data + 1, size - 1);
  fuzzing::FuzzChannel channel(input, (mode & 0x04) != 0, (mode & 0x10) != 0);
  fuzzing::FuzzStreamLine stream(input);
  std::atomic<bool> proceed{true};
  channel.StopWhenSilent(&proceed, kSilentLimit);
  Events events(proceed, stream, (mode & 0x20) != 0);
  history::DownloadRequest request;
  request.source = (mode & 0x01) ? history::Source::Gprs : history::Source::Transmitter;
  request.kind = (mode & 0x02) ? history::DownloadKind::Print : history::DownloadKind::History;
  const history::DownloadResult result =
      history::Download(channel, &stream, request, proceed, events);
  Check(result.rows == events.rows_);
  Check(result.recordCount == events.announced_);
  CheckUtf8(result.message, "download message", false);
  CheckUtf8(result.status, "download status", false);
  return 0;
}
