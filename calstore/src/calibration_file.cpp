#include "calibration_file.h"

#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace calstore {
namespace {

uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

float LoadFloat(const uint8_t* p) { return std::bit_cast<float>(LoadLe32(p)); }

}  // namespace

int32_t CardHeader::card() const { return static_cast<int32_t>(LoadLe32(&bytes[8])); }

void CardHeader::SetCard(int32_t card) { StoreLe32(&bytes[8], static_cast<uint32_t>(card)); }

namespace {

// Reads the record at the current position of in.
bool ReadRecordHere(InputFile& in, uint64_t offset, CardRecord& record) {
  record.offset = offset;
  if (!in.ReadExact(record.header.bytes.data(), kHeaderSize)) return false;
  const size_t n = record.header.count();
  uint8_t raw[255 * kSegmentSize];
  if (!in.ReadExact(raw, n * kSegmentSize)) return false;
  record.segments.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = raw + i * kSegmentSize;
    record.segments[i] = {LoadFloat(p), LoadFloat(p + 4), LoadFloat(p + 8), LoadFloat(p + 12)};
  }
  return true;
}

}  // namespace

bool RecordReader::Next(CardRecord& record) {
  if (!positioned_) {
    if (!in_.Seek(offset_)) return false;
    positioned_ = true;
  }
  if (!ReadRecordHere(in_, offset_, record)) return false;
  offset_ += record.size();
  return true;
}

std::optional<CardRecord> ReadRecordAt(InputFile& in, uint64_t offset) {
  CardRecord record;
  if (!in.Seek(offset) || !ReadRecordHere(in, offset, record)) return std::nullopt;
  return record;
}

void AppendSegment(std::string& out, const CurveSegment& s) {
  uint8_t raw[kSegmentSize];
  StoreLe32(raw, std::bit_cast<uint32_t>(s.x0));
  StoreLe32(raw + 4, std::bit_cast<uint32_t>(s.x1));
  StoreLe32(raw + 8, std::bit_cast<uint32_t>(s.k));
  StoreLe32(raw + 12, std::bit_cast<uint32_t>(s.b));
  out.append(reinterpret_cast<const char*>(raw), sizeof raw);
}

void AppendRecord(std::string& out, const CardHeader& header,
                  const std::vector<CurveSegment>& segments) {
  out.append(reinterpret_cast<const char*>(header.bytes.data()), kHeaderSize);
  for (const CurveSegment& s : segments) AppendSegment(out, s);
}

float Round1(float value) {
  if (!std::isfinite(value)) return value;
  char text[64];
  const auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
  float parsed = value;
  std::from_chars(text, printed.ptr, parsed);
  return parsed;
}

std::string IndexKey(int32_t card, unsigned type) {
  return std::to_string(card) + "_" + std::to_string(type);
}

std::string IndexPathOf(const std::string& dataPath) {
  return dataPath + std::string(kIndexSuffix);
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string WithDataSuffix(const std::string& path) {
  return EndsWith(path, kDataSuffix) ? path : path + std::string(kDataSuffix);
}

int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;  // saturate
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t IndexRecords(const std::string& dataPath, IniDocument& index) {
  if (!Exists(dataPath)) return kFileMissing;
  InputFile in;
  if (!in.Open(dataPath)) return kFileMissing;
  index.DeleteSection(kCardsSection);
  RecordReader reader(in);
  CardRecord record;
  while (reader.Next(record)) {
    const std::string key = IndexKey(record.header.card(), record.header.type());
    if (!index.Get(kCardsSection, key)) index.Set(kCardsSection, key, std::to_string(record.offset));
  }
  return reader.Failed() ? kFailure : kSuccess;
}

}  // namespace calstore
