#pragma once
// The history archive: every download kept in one SQLite file, by instrument, so a technician
// can list, reopen, merge and export what was downloaded before. Qt-free.
//
// One transaction per download: a program killed while it stores one leaves the archive as it
// was (SQLite rolls the unfinished transaction back on the next open); a download whose blocks
// failed is stored, marked incomplete. A file that is no archive of this program, or one written
// by a newer schema, is refused before anything is written to it.
//
// Records are merged across the downloads of one instrument by their time: each minute once, in
// time order, a received record before a failed one, a complete download before an incomplete
// one, the newer download before the older.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_commands.h"

struct sqlite3;

namespace pages::history {

inline constexpr int kArchiveSchemaVersion = 2;
inline constexpr const char* kArchiveFileName = "archive.sqlite3";

// The default archive: $XDG_DATA_HOME/tool/archive.sqlite3 (~/.local/share/tool/ when unset),
// on Windows the user's AppData folder. Empty when no home folder is known.
std::string DefaultArchivePath();

// The archive this run uses: the one given at start (tool --archive PATH), else the default.
std::string ArchivePath();
// Set once at start, before any page reads it.
void UseArchivePath(std::string path);

// Who was downloaded: the SN when the instrument answered the SN read, else the connection and
// the device address.
struct ArchiveIdentity {
  std::string sn;          // "7EAC00001"; empty when not read
  std::string connection;  // "/dev/ttyUSB0", "127.0.0.1:10001"
  int address = 0;
  std::string versions;    // the instrument's versions when they were read; empty otherwise
  // What lists and merges group by: the SN, else "connection 地址N".
  std::string Instrument() const;
  // As a report names it: "SN 7EAC00001，硬件 1.00，软件 1.00"; empty when the SN was not read.
  std::string Named() const;
};

// Reads the SN with the SN widget's read command, then the versions with the band's version read;
// an instrument that does not answer it (or has
// no SN) is named by the channel's connection and device address instead. Nothing is sent for a
// GPRS download over TCP, which sends nothing at all.
ArchiveIdentity IdentifyInstrument(devlink::Channel& channel, Source source);

// One download as it is stored.
struct DownloadToStore {
  ArchiveIdentity identity;
  DownloadRequest request;
  DownloadResult result;
  std::vector<RecordRow> rows;  // the list's rows in order; a failed record is MissingRecordRow()
  std::string started;          // local time "YYYY-MM-DD HH:MM:SS"; empty: now
};

// A stored download as lists show it.
struct ArchivedDownload {
  int64_t id = 0;
  std::string sn;
  std::string instrument;
  std::string connection;
  int address = 0;
  std::string versions;
  std::string started;
  Source source = Source::Transmitter;
  DownloadKind kind = DownloadKind::History;
  int32_t announced = 0;
  int32_t blockCount = 0;
  int32_t blockSize = 0;
  int valueCount = kTransmitterValueCount;
  int64_t records = 0;      // rows stored
  int64_t failedRows = 0;   // rows of blocks that failed every attempt
  int failedBlocks = 0;
  int64_t missing = 0;      // announced records that never arrived
  bool complete = false;
  std::string status;
  std::string first, last;  // earliest and latest record time "YYYY-MM-DD HH:MM"; empty: none
};

// Record times as the archive orders them: YYYYMMDDHHMM as one number.
using Moment = int64_t;
// The moment of a list time "2023年05月06日07时08分"; none for a time no calendar has (a failed
// record, a time the instrument sent garbled).
std::optional<Moment> MomentOfTime(std::string_view time);
// "YYYY-MM-DD HH:MM" (one or two digits per part but the year), a real date and time.
std::optional<Moment> ParseMoment(std::string_view text);
std::string FormatMoment(Moment moment);  // "YYYY-MM-DD HH:MM"

struct MergedRecords {
  std::vector<RecordRow> rows;
  int valueCount = kTransmitterValueCount;  // the most any merged download carried
  int64_t withoutTime = 0;  // stored rows left out: failed, or no real time
  int64_t duplicates = 0;   // stored rows left out: their minute came from another download
};

// Text of a failure: empty on success.
using ArchiveError = std::string;

// False in a build without SQLite: there every archive refuses to open (kArchiveNotBuiltIn) and
// a download is not stored unless an archive is asked for by name.
bool ArchiveBuiltIn();

class Archive {
 public:
  // Opens the archive at `path`, creating it (and its folder) when missing, migrating an older
  // schema. nullptr with the reason in `error` for a file that is no archive, a newer one, or
  // one that cannot be opened.
  // `create` false: a missing archive is a failure (kNoArchiveYet) and no file is made.
  static std::unique_ptr<Archive> Open(const std::string& path, ArchiveError* error,
                                       bool create = true);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  const std::string& Path() const { return path_; }

  // Stores one download in one transaction; its id, or nullopt with the reason.
  std::optional<int64_t> Store(const DownloadToStore& download, ArchiveError* error);
  // Newest first; `instrument` (an SN, or the instrument text) empty: all.
  std::vector<ArchivedDownload> List(const std::string& instrument = {}) const;
  std::optional<ArchivedDownload> Find(int64_t id) const;
  // The rows of one download in their stored order, failed ones as MissingRecordRow().
  std::vector<RecordRow> Rows(int64_t id) const;
  // One instrument's records across all its downloads, within [from, to] when given.
  MergedRecords Merged(const std::string& instrument, std::optional<Moment> from = {},
                       std::optional<Moment> to = {}) const;
  // False when no download has this id.
  bool Delete(int64_t id, ArchiveError* error);

 private:
  Archive(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  sqlite3* db_;
  std::string path_;
};

// The texts the archive shows.
inline constexpr const char* kNotAnArchive = "不是历史档案文件，未作任何改动：";
inline constexpr const char* kNewerArchive = "历史档案由更新版本的程序创建，无法打开：";
inline constexpr const char* kArchiveOpenFailed = "历史档案无法打开：";
inline constexpr const char* kArchiveStoreFailed = "历史档案写入失败：";
inline constexpr const char* kNoArchiveYet = "历史档案尚不存在：";
inline constexpr const char* kStoredInArchive = "已存入历史档案";
inline constexpr const char* kNoSuchDownload = "历史档案中没有这次下载：";
inline constexpr const char* kArchiveNotBuiltIn = "此版本不含历史档案（没有 SQLite）：";

}  // namespace pages::history
