// Gathering the records of a list of cards from a directory of calibration files.
#include <functional>
#include <set>

#include "calibration_file.h"
#include "operations.h"
#include "utf.h"

namespace calstore {
namespace {

constexpr std::string_view kInfoSection = "info";
constexpr std::string_view kMissingKey = "escape";
constexpr std::string_view kBackupSuffix = ".old";

// "1234_0;1234_1" -> "1234_温度;1234_湿度".
std::string MissingList(const std::set<std::string>& keys) {
  std::string list;
  for (const std::string& key : keys) {
    if (!list.empty()) list += ";";
    if (EndsWith(key, "_0")) {
      list += key.substr(0, key.size() - 2) + "_温度";
    } else if (EndsWith(key, "_1")) {
      list += key.substr(0, key.size() - 2) + "_湿度";
    } else {
      list += key;
    }
  }
  return list;
}

// The previous target moved aside to target + ".old" for the time of an import, with the bytes
// of its index, so that every failure can put both back as they were.
class Backup {
 public:
  Backup(std::string target, std::string indexPath)
      : target_(std::move(target)), indexPath_(std::move(indexPath)),
        path_(target_ + std::string(kBackupSuffix)) {}
  Backup(const Backup&) = delete;
  Backup& operator=(const Backup&) = delete;
  // An import ended by an exception (out of memory) puts the previous target back too, so no
  // ".old" is left to block the next import.
  ~Backup() {
    try {
      Restore();
    } catch (...) {
    }
  }

  const std::string& path() const { return path_; }
  bool made() const { return made_; }

  // Moves the target aside when it exists. False (nothing changed) when it cannot be.
  bool Make() {
    if (!Exists(target_)) return true;
    if (Exists(indexPath_)) {
      index_ = ReadWholeFile(indexPath_);
      if (!index_) return false;
    }
    if (!RenameFile(target_, path_)) return false;
    made_ = true;
    if (!RemoveFile(indexPath_)) {
      Restore();
      return false;
    }
    return true;
  }

  // Puts the previous target and its index back.
  void Restore() {
    if (!made_) return;
    if (RenameFile(path_, target_)) {
      made_ = false;
      if (index_) {
        WriteFileReplacing(indexPath_, *index_);
      } else {
        AnalyzeFile(target_);
      }
    }
  }

  // The import is complete: the backup goes.
  void Drop() {
    if (made_) RemoveFile(path_);
    made_ = false;
  }

 private:
  std::string target_;
  std::string indexPath_;
  std::string path_;
  std::optional<std::string> index_;
  bool made_ = false;
};

}  // namespace

int32_t ImportCards(const std::string& targetGiven, const std::string& sourceDirectory,
                    const int32_t* cards, int32_t cardCount, bool listMissing) {
  if (!IsDirectory(sourceDirectory)) return kFileMissing;
  if (cardCount <= 0) return kSuccess;
  if (!cards) return kBadArguments;
  if (targetGiven.empty()) return kFileMissing;
  const std::string target = WithDataSuffix(targetGiven);
  const std::string indexPath = IndexPathOf(target);
  // A folder in the target's place is not a file to import into (it would be moved aside).
  if (IsDirectory(target)) return kFileMissing;
  Backup backup(target, indexPath);
  // A backup left by an earlier import may be the only copy of an earlier target: touch nothing.
  if (Exists(backup.path())) return kFailure;
  if (!backup.Make()) return kFailure;

  ReplacementFile out(target);
  IniDocument index;
  if (!out.Open() || !IniDocument::Load(indexPath, index)) {
    backup.Restore();
    return kFileMissing;
  }
  // The index describes only the new target (an index left without its data file is stale).
  index.DeleteSection(kCardsSection);

  std::set<std::string> wanted;
  for (int32_t i = 0; i < cardCount; ++i) {
    wanted.insert(IndexKey(cards[i], kTemperature));
    wanted.insert(IndexKey(cards[i], kHumidity));
  }

  std::vector<std::string> sources;
  for (std::string& file : ListFilesEndingIn(sourceDirectory, kDataSuffix)) {
    // The target may lie inside the source directory; it is never a source of itself.
    if (!SameFile(file, target)) sources.push_back(std::move(file));
  }
  if (sources.empty()) {
    if (backup.made()) {
      backup.Restore();
      return kSuccess;
    }
    // An index left without its data file would name records the new, empty target lacks.
    const bool committed =
        Exists(indexPath) ? CommitDataAndIndex(out, index, indexPath) : out.Commit();
    return committed ? kSuccess : kFailure;
  }

  uint64_t offset = 0;
  std::string bytes;
  for (const std::string& file : sources) {
    if (wanted.empty()) break;
    IniDocument sourceIndex;
    if (!LoadIndexOf(file, sourceIndex)) continue;
    InputFile in;
    const bool opened = in.Open(file);
    for (auto it = wanted.begin(); it != wanted.end();) {
      const std::string value =
          CutToValueLimit(sourceIndex.Get(kCardsSection, *it).value_or(std::string()));
      if (value.empty()) {
        ++it;
        continue;
      }
      const size_t split = it->find('_');
      const int32_t card = LeadingInt(std::string_view(*it).substr(0, split));
      const int32_t type = LeadingInt(std::string_view(*it).substr(split + 1));
      const int32_t at = LeadingInt(value);
      const auto record =
          opened && at >= 0 ? ReadRecordAt(in, static_cast<uint64_t>(at)) : std::nullopt;
      if (record && (record->header.card() != card || record->header.type() != type)) {
        ++it;  // a stale index names another record there: the file does not hold this one
        continue;
      }
      if (record) {
        bytes.clear();
        AppendRecord(bytes, record->header, record->segments);
        out.Write(bytes);
        index.Set(kCardsSection, *it, std::to_string(offset));
        offset += record->size();
      }
      it = wanted.erase(it);
    }
  }
  if (listMissing) index.Set(kInfoSection, kMissingKey, MissingList(wanted));

  if (!out.Ok() || !CommitDataAndIndex(out, index, indexPath)) {
    backup.Restore();
    return kFailure;
  }
  if (!backup.made()) return kSuccess;
  // Newly imported records replace the previous target's records of the same key; the others
  // are kept.
  const int32_t merged = CombineFiles(target, target, backup.path());
  if (merged != kSuccess) {
    backup.Restore();
    return merged;
  }
  backup.Drop();
  return kSuccess;
}

std::vector<int32_t> ParseCardList(std::u16string_view text16) {
  const std::string text = Utf16ToUtf8(text16);
  std::vector<int32_t> list;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view piece = std::string_view(text).substr(pos, end - pos);
    pos = end + 1;
    if (piece.empty()) continue;
    int64_t first, last;
    const size_t dash = piece.find('-');
    if (dash != std::string_view::npos) {
      first = LeadingInt(piece.substr(0, dash));
      last = LeadingInt(piece.substr(dash + 1));
      if (last == 0) last = first;
    } else {
      first = last = LeadingInt(piece);
    }
    if (first <= 0 || last < first) continue;
    if (list.size() + static_cast<uint64_t>(last - first + 1) > kMaxListedCards) return {};
    for (int64_t card = first; card <= last; ++card) list.push_back(static_cast<int32_t>(card));
  }
  return list;
}

}  // namespace calstore
