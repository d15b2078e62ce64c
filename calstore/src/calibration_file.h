#pragma once
// The calibration file: card records one after another, no file header. A record is a 12-byte
// header and n 16-byte curve segments, little-endian, IEEE-754 single precision:
//   header  0 kind | 1 channel type | 2 range low (int8) | 3 range high (int8) | 4 segment count
//           5..7 padding | 8..11 card number (int32)
//   segment 0 x0 | 4 x1 | 8 k | 12 b   (reference = k * measured + b, for x0 <= reference <= x1)
// Beside the file lies its index, the file's path + ".ini", section "cards", key "card_type",
// value the byte offset of the card's record.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ini_store.h"
#include "platform.h"

namespace calstore {

// Results of the exported functions.
enum ResultCode : int32_t {
  kSuccess = 0,
  kFileMissing = 101,  // a file is missing or cannot be opened or created
  kBadArguments = 102,
  kFailure = 103,  // a read or write error, out of memory
};

enum ChannelType : uint8_t { kTemperature = 0, kHumidity = 1 };

inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kSegmentSize = 16;
inline constexpr float kNoValue = -1000.0f;
inline constexpr std::string_view kCardsSection = "cards";
inline constexpr std::string_view kDataSuffix = ".jz";
inline constexpr std::string_view kIndexSuffix = ".ini";

struct CurveSegment {
  float x0 = 0, x1 = 0, k = 0, b = 0;
};

struct CardHeader {
  std::array<uint8_t, kHeaderSize> bytes{};

  uint8_t kind() const { return bytes[0]; }
  uint8_t type() const { return bytes[1]; }
  uint8_t count() const { return bytes[4]; }
  int32_t card() const;
  void SetCard(int32_t card);
};

struct CardRecord {
  CardHeader header;
  std::vector<CurveSegment> segments;
  uint64_t offset = 0;  // of the header, from the start of the file
  uint64_t size() const { return kHeaderSize + kSegmentSize * segments.size(); }
};

// Reads whole records one after another from a position of a file. Reading ends at the end of
// the file, at a record that the file does not hold whole (a truncated last record is not
// returned), or at a read error (then Failed()). A record's segment count is one byte, so one
// record never asks for more than 255 segments.
class RecordReader {
 public:
  explicit RecordReader(InputFile& in, uint64_t offset = 0) : in_(in), offset_(offset) {}
  bool Next(CardRecord& record);
  bool Failed() const { return in_.Failed(); }

 private:
  InputFile& in_;
  uint64_t offset_;
  bool positioned_ = false;
};

// Reads the one record at offset; nullopt when the file does not hold it whole.
std::optional<CardRecord> ReadRecordAt(InputFile& in, uint64_t offset);

// Appends the record's header (its count byte as stored) and its segments.
void AppendRecord(std::string& out, const CardHeader& header,
                  const std::vector<CurveSegment>& segments);
void AppendSegment(std::string& out, const CurveSegment& segment);

// A value rounded to one decimal as formatting with "%.1f" and parsing back gives it.
float Round1(float value);

// Orders floats with every NaN after every number and equal to every other NaN, so sets and maps
// of values read from a file stay well ordered whatever the file holds.
struct FloatLess {
  bool operator()(float a, float b) const { return a < b || (a == a && b != b); }
};

// "card_type" of the index.
std::string IndexKey(int32_t card, unsigned type);
// The index of a calibration file.
std::string IndexPathOf(const std::string& dataPath);
// The path with ".jz" appended unless it ends in it (exact, case-sensitive).
std::string WithDataSuffix(const std::string& path);
bool EndsWith(std::string_view text, std::string_view suffix);

// The number at the start of text as the C runtime's leading-integer conversion reads it: blanks,
// an optional sign, digits; no digits give 0; clamped to the range of int32.
int32_t LeadingInt(std::string_view text);

// Scans the data file and sets section "cards" of index (deleted first) to the offset of every
// whole record; of a key that the file holds twice, the first record, as a merge keeps it. The
// other sections of index stay. 0, 101 (file missing or not readable) or 103 (a read error).
int32_t IndexRecords(const std::string& dataPath, IniDocument& index);

}  // namespace calstore
