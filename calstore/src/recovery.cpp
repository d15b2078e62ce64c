#include "recovery.h"

#include <map>
#include <set>
#include <string_view>

#include "calibration_file.h"

namespace calstore {
namespace {

constexpr std::string_view kNextRole = ".next";
constexpr std::string_view kPrevRole = ".prev";

// "PID-N" with both parts decimal digits; the process id through pid.
bool ParseToken(std::string_view token, uint64_t& pid) {
  const size_t dash = token.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == token.size()) return false;
  pid = 0;
  for (size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    if (i == dash) continue;
    if (c < '0' || c > '9') return false;
    if (i < dash) {
      if (pid > (UINT64_MAX - 9) / 10) return false;
      pid = pid * 10 + uint64_t(c - '0');
    }
  }
  return true;
}

// Tokens of files named prefix + TOKEN + role in directory, whose process no longer runs.
std::set<std::string> DeadTokens(const std::string& directory, const std::string& prefix,
                                 std::string_view role) {
  std::set<std::string> tokens;
  const uint64_t self = CurrentProcessId();
  for (const std::string& name : ListNamesBeginningWith(directory, prefix)) {
    std::string_view token = std::string_view(name).substr(prefix.size());
    if (!EndsWith(token, role)) continue;
    token.remove_suffix(role.size());
    uint64_t pid = 0;
    if (!ParseToken(token, pid) || pid == self || ProcessRunning(pid)) continue;
    tokens.emplace(token);
  }
  return tokens;
}

std::map<std::string, std::string> CardsOf(const IniDocument& index) {
  std::map<std::string, std::string> cards;
  for (const std::string& line : index.SectionLines(kCardsSection)) {
    const size_t eq = line.find('=');
    cards[line.substr(0, eq)] = eq == std::string::npos ? std::string() : line.substr(eq + 1);
  }
  return cards;
}

// A whole index (its last line ended) whose cards are exactly those of the data file.
bool AgreesWithData(const std::string& indexFile, const std::string& dataPath) {
  const auto text = ReadWholeFile(indexFile);
  if (!text || text->empty() || text->back() != '\n') return false;
  IniDocument scanned;
  if (IndexRecords(dataPath, scanned) != kSuccess) return false;
  return CardsOf(IniDocument::Parse(*text)) == CardsOf(scanned);
}

}  // namespace

bool CommitDataAndIndex(ReplacementFile& data, const IniDocument& index,
                        const std::string& indexPath) {
  if (!data.Finish()) return false;
  ReplacementFile next(indexPath);
  if (!next.OpenAs(data.token(), kNextRole)) return false;
  next.Write(index.Serialize());
  if (!next.Finish()) return false;
  // The index path resolved: an index that is a symbolic link stays one.
  const std::string& live = next.path();
  const std::string prev = TempName(live, data.token(), kPrevRole);
  const bool hadIndex = Exists(live);
  if (hadIndex && !RenameFile(live, prev)) return false;
  if (!data.Commit()) {
    if (hadIndex) RenameFile(prev, live);
    return false;
  }
  const bool indexed = next.Commit();
  // Once the new data file is in place the previous index describes nothing.
  if (hadIndex) RemoveFile(prev);
  return indexed;
}

void RecoverLeftovers(const std::string& dataPath) {
  if (dataPath.empty()) return;
  const std::string data = ResolvedForReplacing(dataPath);
  const std::string index = ResolvedForReplacing(IndexPathOf(dataPath));
  const std::string dataDir = DirectoryOf(data), indexDir = DirectoryOf(index);
  const std::string dataPrefix = NameOf(data) + ".tmp-";
  const std::string indexPrefix = NameOf(index) + ".tmp-";

  const std::set<std::string> dataTemps = DeadTokens(dataDir, dataPrefix, {});
  std::set<std::string> pairs = DeadTokens(indexDir, indexPrefix, kNextRole);
  pairs.merge(DeadTokens(indexDir, indexPrefix, kPrevRole));
  pairs.insert(dataTemps.begin(), dataTemps.end());
  for (const std::string& token : pairs) {
    const std::string dataTemp = TempName(data, token);
    const std::string next = TempName(index, token, kNextRole);
    const std::string prev = TempName(index, token, kPrevRole);
    if (dataTemps.count(token)) {
      // The data file was not replaced: its own index goes back if it was moved aside. The data
      // temporary goes last, as its presence is what tells this case apart.
      if (!Exists(index) && Exists(prev)) RenameFile(prev, index);
      RemoveFile(next);
      RemoveFile(prev);
      RemoveFile(dataTemp);
    } else {
      // The new data file is in place: its index is the .next file.
      if (Exists(next) && !Exists(index)) RenameFile(next, index);
      RemoveFile(next);
      RemoveFile(prev);
    }
  }

  // Lone index saves. One that was written whole for this very data file is as good as the
  // index it was meant to become (it keeps the sections besides the cards that a rebuilt index
  // would lose); the others are only removed.
  for (const std::string& token : DeadTokens(indexDir, indexPrefix, {})) {
    const std::string temp = TempName(index, token);
    if (!Exists(index) && Exists(data) && AgreesWithData(temp, data)) RenameFile(temp, index);
    RemoveFile(temp);
  }
}

}  // namespace calstore
