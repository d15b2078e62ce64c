// Gathering the records of a list of cards from a directory of calibration files.
#include <set>

#include "calibration_file.h"
#include "operations.h"
#include "recovery.h"
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

// Puts back a target that an import of an earlier version moved aside to target + ".old" and
// never restored (it was killed in between). Its index is written first, keeping the sections
// besides the cards of an index already there, and the data file renamed into place after it,
// so a crash in between only leaves the same work to do again.
bool RestoreBackup(const std::string& target, const std::string& backup) {
  const std::string indexPath = IndexPathOf(target);
  IniDocument index;
  if (!LoadIni(indexPath, index)) index = IniDocument();
  if (IndexRecords(backup, index) != kSuccess || !SaveIni(index, indexPath)) return false;
  return RenameFile(backup, target);
}

}  // namespace

int32_t ImportCards(const std::string& targetGiven, const std::string& sourceDirectory,
                    const int32_t* cards, int32_t cardCount, bool listMissing) {
  if (!IsDirectory(sourceDirectory)) return kFileMissing;
  if (cardCount <= 0) return kSuccess;
  if (!cards) return kBadArguments;
  if (targetGiven.empty()) return kFileMissing;
  const std::string target = WithDataSuffix(targetGiven);
  const std::string indexPath = IndexPathOf(target);
  // A folder in the target's place is not a file to import into.
  if (IsDirectory(target)) return kFileMissing;
  RecoverLeftovers(target);
  const std::string backup = target + std::string(kBackupSuffix);
  if (Exists(backup)) {
    // Beside a target, a backup of an earlier import may still be the only copy of an earlier
    // target: touch neither. Alone, it is the target that import took away.
    if (Exists(target) || !RestoreBackup(target, backup)) return kFailure;
  }
  const bool previous = Exists(target);

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
  // Nothing to import from: a previous target stays exactly as it is.
  if (sources.empty() && previous) return kSuccess;

  ReplacementFile out(target);
  IniDocument index;
  if (!out.Open() || (!previous && !LoadIni(indexPath, index))) return kFileMissing;
  // The new index describes only the new target: a previous target's index is replaced whole, and
  // of an index left without its data file only the sections besides the cards stay.
  index.DeleteSection(kCardsSection);
  if (sources.empty()) {
    // No previous target here. An index left without its data file would name records the new,
    // empty target lacks.
    const bool committed =
        Exists(indexPath) ? CommitDataAndIndex(out, index, indexPath) : out.Commit();
    return committed ? kSuccess : kFailure;
  }

  // Leftovers of crashed writers beside the sources are settled as for any file looked up; one
  // listing tells whether there are any, so a large folder is not listed once per file.
  bool leftovers = false;
  for (const std::string& name : ListNamesBeginningWith(sourceDirectory, {})) {
    leftovers = leftovers || name.find(".tmp-") != std::string::npos;
  }

  // Imported records first, so that they win over the previous target's records of their keys.
  MergedRecords merged;
  for (const std::string& file : sources) {
    if (wanted.empty()) break;
    if (leftovers) RecoverLeftovers(file);
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
      auto record =
          opened && at >= 0 ? ReadRecordAt(in, static_cast<uint64_t>(at)) : std::nullopt;
      if (record && (record->header.card() != card || record->header.type() != type)) {
        ++it;  // a stale index names another record there: the file does not hold this one
        continue;
      }
      if (record) AddRecord(merged, std::move(*record));
      it = wanted.erase(it);
    }
  }
  if (listMissing) index.Set(kInfoSection, kMissingKey, MissingList(wanted));

  if (previous) {
    // The previous target's records of other keys are kept.
    InputFile before;
    if (!before.Open(target)) return kFileMissing;
    if (!CollectRecords(before, merged)) return kFailure;
  }
  WriteMerged(merged, out, index);
  return CommitDataAndIndex(out, index, indexPath) ? kSuccess : kFailure;
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
