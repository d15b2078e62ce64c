// Writing, indexing, merging and looking up calibration files.
#include <map>

#include <set>

#include "calibration_file.h"
#include "operations.h"
#include "recovery.h"

namespace calstore {
namespace {

// The merge key: card and type as text, so that records come out in the text order of the key
// (card 10 before card 2), as the files this library has always written.
std::string MergeKey(int32_t card, unsigned type) {
  return std::to_string(card) + ";" + std::to_string(type);
}

int32_t MergeInto(const std::string& destination, const std::string& source1,
                  const std::string& source2) {
  ReplacementFile out(destination);
  IniDocument index;
  const std::string indexPath = IndexPathOf(destination);
  MergedRecords merged;
  {
    // The sources are closed before the destination, which may be one of them, is replaced:
    // Windows refuses to rename over a file that is still open.
    InputFile first, second;
    if (!first.Open(source1) || !second.Open(source2) || !out.Open() ||
        !LoadIni(indexPath, index)) {
      return kFileMissing;
    }
    if (!CollectRecords(first, merged) || !CollectRecords(second, merged)) return kFailure;
  }
  index.DeleteSection(kCardsSection);
  WriteMerged(merged, out, index);
  return CommitDataAndIndex(out, index, indexPath) ? kSuccess : kFailure;
}

}  // namespace

bool AddRecord(MergedRecords& merged, CardRecord&& record) {
  return merged.try_emplace(MergeKey(record.header.card(), record.header.type()), std::move(record))
      .second;
}

// Keeps the first record of a key: a key of the first source beats the second, and a file made
// elsewhere that holds a key twice keeps its first (appending the second record's segments under
// the first header would give a header whose segment count is wrong).
bool CollectRecords(InputFile& in, MergedRecords& merged) {
  RecordReader reader(in);
  CardRecord record;
  while (reader.Next(record)) AddRecord(merged, std::move(record));
  return !reader.Failed();
}

void WriteMerged(const MergedRecords& merged, ReplacementFile& out, IniDocument& index) {
  uint64_t offset = 0;
  std::string bytes;
  for (const auto& [key, record] : merged) {
    index.Set(kCardsSection, IndexKey(record.header.card(), record.header.type()),
              std::to_string(offset));
    bytes.clear();
    AppendRecord(bytes, record.header, record.segments);
    out.Write(bytes);
    offset += record.size();
  }
}

int32_t CreateCalibrationFile(std::string path, uint8_t type, const float* references,
                              uint8_t pointCount, const int32_t* cards, int32_t cardCount,
                              const float* measured, uint8_t kind) {
  // The measured table has 10 values per card: more points would read the next card's values.
  if (pointCount < 2 || pointCount > 10 || cardCount <= 0) return kBadArguments;
  if (!references || !cards || !measured) return kBadArguments;
  if (path.empty()) return kFileMissing;
  path = WithDataSuffix(path);
  RecoverLeftovers(path);
  ReplacementFile out(path);
  IniDocument index;
  const std::string indexPath = IndexPathOf(path);
  if (!out.Open() || !LoadIni(indexPath, index)) return kFileMissing;
  index.DeleteSection(kCardsSection);

  CardHeader header;
  header.bytes[0] = kind;
  header.bytes[1] = type;
  header.bytes[2] = type == kHumidity ? 0 : static_cast<uint8_t>(-20);
  header.bytes[3] = type == kHumidity ? 100 : 60;
  std::map<float, size_t, FloatLess> points;  // reference -> point index, ascending
  std::vector<CurveSegment> segments;
  std::string bytes;
  uint64_t offset = 0;
  std::set<int32_t> written;
  for (size_t c = 0; c < static_cast<size_t>(cardCount); ++c) {
    // A card given twice is written once, from its first row, as a merge would keep it: a second
    // record of one key would make the reader and the index disagree on which one counts.
    if (!written.insert(cards[c]).second) continue;
    const float* row = measured + 10 * c;
    points.clear();
    for (size_t i = 0; i < pointCount; ++i) {
      if (row[i] != kNoValue) points[references[i]] = i;
    }
    segments.clear();
    for (auto lower = points.begin(); lower != points.end(); ++lower) {
      const auto upper = std::next(lower);
      if (upper == points.end()) break;
      CurveSegment s;
      s.x0 = lower->first;
      s.x1 = upper->first;
      const float m0 = row[lower->second];
      const float m1 = row[upper->second];
      s.k = (s.x1 - s.x0) / (m1 - m0);
      s.b = s.x1 - m1 * s.k;
      segments.push_back(s);
    }
    header.bytes[4] = static_cast<uint8_t>(segments.size());
    header.SetCard(cards[c]);
    index.Set(kCardsSection, IndexKey(cards[c], type), std::to_string(offset));
    bytes.clear();
    AppendRecord(bytes, header, segments);
    out.Write(bytes);
    offset += bytes.size();
  }
  return CommitDataAndIndex(out, index, indexPath) ? kSuccess : kFailure;
}

int32_t AnalyzeFile(const std::string& path) {
  RecoverLeftovers(path);
  IniDocument index;
  const std::string indexPath = IndexPathOf(path);
  if (!Exists(path)) return kFileMissing;
  if (!LoadIni(indexPath, index)) return kFileMissing;
  const int32_t result = IndexRecords(path, index);
  if (result != kSuccess) return result;
  return SaveIni(index, indexPath) ? kSuccess : kFailure;
}

int32_t CombineFiles(const std::string& destination, const std::string& source1,
                     const std::string& source2) {
  if (!Exists(source1) || !Exists(source2)) return kFileMissing;
  if (destination.empty()) return kFileMissing;
  const std::string target = WithDataSuffix(destination);
  for (const std::string& path : {target, source1, source2}) RecoverLeftovers(path);
  // The destination is only ever replaced whole (a new file renamed over it) after both sources
  // were read, so it may name either source, by any spelling, and a failure or a crash leaves it
  // as it was. No copy of a source is needed, and no file of the user's is overwritten for one.
  return MergeInto(target, source1, source2);
}

bool LoadIndexOf(const std::string& dataPath, IniDocument& index) {
  const std::string indexPath = IndexPathOf(dataPath);
  if (Exists(indexPath) && LoadIni(indexPath, index)) return true;
  index = IniDocument();
  if (IndexRecords(dataPath, index) != kSuccess) return false;
  SaveIni(index, indexPath);
  return true;
}

bool FindRecord(const std::string& path, int32_t card, uint8_t type, int32_t& offset) {
  IniDocument index;
  if (!Exists(path)) return false;
  RecoverLeftovers(path);
  if (!LoadIndexOf(path, index)) return false;
  const std::string value =
      CutToValueLimit(index.Get(kCardsSection, IndexKey(card, type)).value_or(std::string()));
  if (value.empty()) return false;
  offset = LeadingInt(value);
  return true;
}

float AdjustValue(const std::string& path, int32_t card, uint8_t type, float x,
                  uint8_t noDefaultOffset, const float* slope, const float* intercept) {
  int32_t offset = 0;
  const bool found = FindRecord(path, card, type, offset);
  float k = 1.0f;
  float b = type == kHumidity ? -1.5f : (noDefaultOffset == 1 || card >= 3750) ? 0.0f : 1.7f;
  if (slope) k = *slope;
  if (intercept) b = *intercept;
  if (!found || offset < 0) return k * x + b;

  InputFile in;
  if (!in.Open(path)) return k * x + b;
  const auto record = ReadRecordAt(in, static_cast<uint64_t>(offset));
  // A record the file does not hold whole, one that is not the card's (a stale index) and one
  // without segments leave the defaults.
  if (!record || record->header.card() != card || record->header.type() != type ||
      record->segments.empty()) {
    return k * x + b;
  }
  const auto& segments = record->segments;
  if (segments.front().x0 > x) {
    const CurveSegment& s = segments.front();
    return 1.0f * x + (s.x0 - (s.x0 - s.b) / s.k);
  }
  float highest = 0;
  for (const CurveSegment& s : segments) {
    highest = s.x1 - (s.x1 - s.b) / s.k;
    if (s.x0 <= x && x <= s.x1) return s.k * x + s.b;
  }
  return 1.0f * x + highest;
}

}  // namespace calstore
