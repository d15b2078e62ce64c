// The history archive in SQLite: schema, migrations, one transaction per download, merging.
#include "history/history_archive.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "history/history_export.h"
#include "pages/kit/fields.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::history {

namespace {

namespace fs = std::filesystem;

// PRAGMA application_id of this program's archives ("tlHA"): a SQLite file without it is some
// other program's database and is left alone.
constexpr int32_t kApplicationId = 0x746C4841;
constexpr int kBusyTimeoutMs = 5000;
constexpr char kValueSeparator = '\x1f';

// Each step brings the schema from version (index) to version (index + 1); a new archive runs
// them all.
const char* const kMigrations[] = {
    // 1: the downloads and their records.
    "CREATE TABLE downloads("
    "  id INTEGER PRIMARY KEY,"
    "  instrument TEXT NOT NULL,"
    "  sn TEXT NOT NULL DEFAULT '',"
    "  connection TEXT NOT NULL DEFAULT '',"
    "  address INTEGER NOT NULL DEFAULT 0,"
    "  started TEXT NOT NULL,"
    "  source TEXT NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  announced INTEGER NOT NULL DEFAULT 0,"
    "  block_count INTEGER NOT NULL DEFAULT 0,"
    "  block_size INTEGER NOT NULL DEFAULT 0,"
    "  value_count INTEGER NOT NULL DEFAULT 2,"
    "  records INTEGER NOT NULL DEFAULT 0,"
    "  failed_rows INTEGER NOT NULL DEFAULT 0,"
    "  failed_blocks INTEGER NOT NULL DEFAULT 0,"
    "  missing INTEGER NOT NULL DEFAULT 0,"
    "  complete INTEGER NOT NULL DEFAULT 0,"
    "  status TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE records("
    "  download INTEGER NOT NULL,"
    "  row INTEGER NOT NULL,"
    "  moment INTEGER,"
    "  time TEXT NOT NULL,"
    "  vals TEXT NOT NULL,"
    "  failed INTEGER NOT NULL DEFAULT 0,"
    "  impossible INTEGER NOT NULL DEFAULT 0,"
    "  PRIMARY KEY(download, row)) WITHOUT ROWID;"
    "CREATE INDEX downloads_by_instrument ON downloads(instrument, started);",
    // 2: the instrument's versions, and each download's first and last record time kept beside
    // it, so a list of a large archive reads no record; records by time within a download.
    "ALTER TABLE downloads ADD COLUMN versions TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE downloads ADD COLUMN first_moment INTEGER;"
    "ALTER TABLE downloads ADD COLUMN last_moment INTEGER;"
    "UPDATE downloads SET"
    "  first_moment = (SELECT min(moment) FROM records WHERE download = downloads.id),"
    "  last_moment = (SELECT max(moment) FROM records WHERE download = downloads.id);"
    "CREATE INDEX records_by_time ON records(download, moment);",
};
static_assert(std::size(kMigrations) == kArchiveSchemaVersion);

std::string Message(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

bool Exec(sqlite3* db, const char* sql, ArchiveError* error) {
  char* text = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &text) == SQLITE_OK) return true;
  if (error) *error = text ? text : Message(db);
  sqlite3_free(text);
  return false;
}

// A prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); return *this; }
  Statement& Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int i, std::optional<int64_t> v) {
    if (v) return Bind(i, *v);
    sqlite3_bind_null(stmt_, i);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
  void Reset() { sqlite3_reset(stmt_); sqlite3_clear_bindings(stmt_); }
  int64_t Int(int c) const { return sqlite3_column_int64(stmt_, c); }
  bool IsNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
  std::string Text(int c) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
  }
  std::string Error() const { return Message(db_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

int64_t PragmaInt(sqlite3* db, const char* pragma) {
  Statement s(db, pragma);
  return s.Step() == SQLITE_ROW ? s.Int(0) : -1;
}

// A file that exists and holds something, but not a SQLite database.
bool HoldsOtherData(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(path, ec) || fs::file_size(path, ec) == 0) return false;
  std::ifstream in(path, std::ios::binary);
  char head[16] = {};
  in.read(head, sizeof head);
  return in.gcount() != sizeof head || std::memcmp(head, "SQLite format 3\0", sizeof head) != 0;
}

std::string JoinValues(const std::vector<std::string>& values) {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text.push_back(kValueSeparator);
    text += values[i];
  }
  return text;
}

std::vector<std::string> SplitValues(const std::string& text) {
  std::vector<std::string> values;
  if (text.empty()) return values;
  for (std::string_view part : SplitList(text, kValueSeparator)) values.emplace_back(part);
  return values;
}

const char* SourceName(Source source) { return source == Source::Gprs ? "gprs" : "transmitter"; }
const char* KindName(DownloadKind kind) { return kind == DownloadKind::Print ? "print" : "history"; }


constexpr const char* kDownloadColumns =
    "id, sn, instrument, connection, address, versions, started, source, kind, announced, "
    "block_count, block_size, value_count, records, failed_rows, failed_blocks, missing, "
    "complete, status, first_moment, last_moment";

ArchivedDownload ReadDownload(const Statement& s) {
  ArchivedDownload d;
  d.id = s.Int(0);
  d.sn = s.Text(1);
  d.instrument = s.Text(2);
  d.connection = s.Text(3);
  d.address = static_cast<int>(s.Int(4));
  d.versions = s.Text(5);
  d.started = s.Text(6);
  d.source = s.Text(7) == "gprs" ? Source::Gprs : Source::Transmitter;
  d.kind = s.Text(8) == "print" ? DownloadKind::Print : DownloadKind::History;
  d.announced = static_cast<int32_t>(s.Int(9));
  d.blockCount = static_cast<int32_t>(s.Int(10));
  d.blockSize = static_cast<int32_t>(s.Int(11));
  d.valueCount = static_cast<int>(s.Int(12));
  d.records = s.Int(13);
  d.failedRows = s.Int(14);
  d.failedBlocks = static_cast<int>(s.Int(15));
  d.missing = s.Int(16);
  d.complete = s.Int(17) != 0;
  d.status = s.Text(18);
  if (!s.IsNull(19)) d.first = FormatMoment(s.Int(19));
  if (!s.IsNull(20)) d.last = FormatMoment(s.Int(20));
  return d;
}

}  // namespace

bool ArchiveBuiltIn() { return true; }

std::unique_ptr<Archive> Archive::Open(const std::string& path, ArchiveError* error,
                                       bool create) {
  auto fail = [&](std::string text) {
    if (error) *error = std::move(text);
    return nullptr;
  };
  if (path.empty()) return fail(std::string(kArchiveOpenFailed) + "没有可用的路径");
  std::error_code ec;
  const bool existed = fs::exists(path, ec);
  if (existed && !fs::is_regular_file(path, ec)) return fail(kNotAnArchive + path);
  if (HoldsOtherData(path)) return fail(kNotAnArchive + path);
  if (!existed && !create) return fail(kNoArchiveYet + path);
  if (!existed) {
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
  if (rc != SQLITE_OK) {
    const std::string why = Message(db);
    sqlite3_close(db);
    return fail(kArchiveOpenFailed + path + "（" + why + "）");
  }
  std::unique_ptr<Archive> archive(new Archive(db, path));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);

  // Nothing is written before the file is known to be an archive this program can read.
  const int64_t application = PragmaInt(db, "PRAGMA application_id");
  const int64_t version = PragmaInt(db, "PRAGMA user_version");
  const int64_t objects = PragmaInt(db, "SELECT count(*) FROM sqlite_master");
  if (application < 0 || version < 0 || objects < 0) {
    // Not even its header reads: damaged, or encrypted by another program.
    return fail(kNotAnArchive + path + "（" + Message(db) + "）");
  }
  if (application != kApplicationId && (objects > 0 || version != 0)) {
    return fail(kNotAnArchive + path);
  }
  if (version > kArchiveSchemaVersion) {
    return fail(kNewerArchive + path + "（格式" + std::to_string(version) + "，此程序读取格式" +
                std::to_string(kArchiveSchemaVersion) + "及以前）");
  }
  ArchiveError why;
  if (!Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", &why)) {
    return fail(kArchiveOpenFailed + path + "（" + why + "）");
  }
  if (version < kArchiveSchemaVersion) {
    if (!Exec(db, "BEGIN IMMEDIATE", &why)) return fail(kArchiveOpenFailed + path + "（" + why + "）");
    // Another program may have migrated it meanwhile.
    bool ok = true;
    for (int64_t v = PragmaInt(db, "PRAGMA user_version"); ok && v < kArchiveSchemaVersion; ++v) {
      ok = Exec(db, kMigrations[v], &why);
    }
    const std::string stamp = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                              "; PRAGMA user_version=" + std::to_string(kArchiveSchemaVersion);
    ok = ok && Exec(db, stamp.c_str(), &why) && Exec(db, "COMMIT", &why);
    if (!ok) {
      Exec(db, "ROLLBACK", nullptr);
      return fail(kArchiveOpenFailed + path + "（" + why + "）");
    }
  }
  return archive;
}

Archive::~Archive() { sqlite3_close(db_); }

std::optional<int64_t> Archive::Store(const DownloadToStore& download, ArchiveError* error) {
  ArchiveError why;
  auto fail = [&](const std::string& text) -> std::optional<int64_t> {
    Exec(db_, "ROLLBACK", nullptr);
    if (error) *error = kArchiveStoreFailed + text;
    return std::nullopt;
  };
  if (!Exec(db_, "BEGIN IMMEDIATE", &why)) {
    if (error) *error = kArchiveStoreFailed + why;
    return std::nullopt;
  }
  const DownloadResult& result = download.result;
  int64_t failedRows = 0;
  std::optional<Moment> first, last;
  const RecordRow missing = MissingRecordRow();
  std::vector<std::optional<Moment>> moments;
  moments.reserve(download.rows.size());
  for (const RecordRow& row : download.rows) {
    const bool failed = row == missing;
    failedRows += failed;
    std::optional<Moment> m;
    if (!failed && !row.impossibleTime) m = MomentOfTime(row.time);
    if (m) {
      first = first ? std::min(*first, *m) : *m;
      last = last ? std::max(*last, *m) : *m;
    }
    moments.push_back(m);
  }
  const bool complete = result.status == kStatusNormal && !result.stopped &&
                        result.failedBlocks == 0 && result.missing == 0 && failedRows == 0;
  Statement head(db_,
                 "INSERT INTO downloads(instrument, sn, connection, address, versions, started, "
                 "source, kind, announced, block_count, block_size, value_count, records, "
                 "failed_rows, failed_blocks, missing, complete, status, first_moment, "
                 "last_moment) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  if (!head.ok()) return fail(Message(db_));
  const ArchiveIdentity& id = download.identity;
  head.Bind(1, id.Instrument()).Bind(2, id.sn).Bind(3, id.connection).Bind(4, int64_t{id.address});
  head.Bind(5, id.versions).Bind(6, download.started.empty() ? LocalNowText() : download.started);
  head.Bind(7, std::string(SourceName(download.request.source)));
  head.Bind(8, std::string(KindName(download.request.kind)));
  head.Bind(9, int64_t{result.recordCount.value_or(0)}).Bind(10, int64_t{result.blockCount});
  head.Bind(11, int64_t{result.blockSize}).Bind(12, int64_t{result.valueCount});
  head.Bind(13, static_cast<int64_t>(download.rows.size())).Bind(14, failedRows);
  head.Bind(15, int64_t{result.failedBlocks}).Bind(16, result.missing);
  head.Bind(17, int64_t{complete}).Bind(18, result.status).Bind(19, first).Bind(20, last);
  if (head.Step() != SQLITE_DONE) return fail(head.Error());
  const int64_t downloadId = sqlite3_last_insert_rowid(db_);

  Statement insert(db_,
                   "INSERT INTO records(download, row, moment, time, vals, failed, impossible) "
                   "VALUES(?,?,?,?,?,?,?)");
  if (!insert.ok()) return fail(Message(db_));
  for (size_t i = 0; i < download.rows.size(); ++i) {
    const RecordRow& row = download.rows[i];
    insert.Bind(1, downloadId).Bind(2, static_cast<int64_t>(i) + 1).Bind(3, moments[i]);
    insert.Bind(4, row.time).Bind(5, JoinValues(row.values)).Bind(6, int64_t{row == missing});
    insert.Bind(7, int64_t{row.impossibleTime});
    if (insert.Step() != SQLITE_DONE) return fail(insert.Error());
    insert.Reset();
  }
  if (!Exec(db_, "COMMIT", &why)) return fail(why);
  return downloadId;
}

std::vector<ArchivedDownload> Archive::List(const std::string& instrument) const {
  const std::string sql = std::string("SELECT ") + kDownloadColumns + " FROM downloads" +
                          (instrument.empty() ? "" : " WHERE instrument = ?1") +
                          " ORDER BY id DESC";
  Statement s(db_, sql.c_str());
  if (!instrument.empty()) s.Bind(1, instrument);
  std::vector<ArchivedDownload> list;
  while (s.Step() == SQLITE_ROW) list.push_back(ReadDownload(s));
  return list;
}

std::optional<ArchivedDownload> Archive::Find(int64_t id) const {
  const std::string sql = std::string("SELECT ") + kDownloadColumns + " FROM downloads WHERE id = ?";
  Statement s(db_, sql.c_str());
  s.Bind(1, id);
  if (s.Step() != SQLITE_ROW) return std::nullopt;
  return ReadDownload(s);
}

std::vector<RecordRow> Archive::Rows(int64_t id) const {
  Statement s(db_, "SELECT time, vals, failed, impossible FROM records WHERE download = ? ORDER BY row");
  s.Bind(1, id);
  std::vector<RecordRow> rows;
  while (s.Step() == SQLITE_ROW) {
    if (s.Int(2) != 0) {
      rows.push_back(MissingRecordRow());
    } else {
      rows.push_back({s.Text(0), SplitValues(s.Text(1)), s.Int(3) != 0});
    }
  }
  return rows;
}

MergedRecords Archive::Merged(const std::string& instrument, std::optional<Moment> from,
                              std::optional<Moment> to) const {
  MergedRecords merged;
  {
    Statement s(db_,
                "SELECT max(value_count), sum(failed_rows), "
                "(SELECT count(*) FROM downloads d JOIN records r ON r.download = d.id "
                " WHERE d.instrument = ?1 AND r.moment IS NULL AND r.failed = 0) "
                "FROM downloads WHERE instrument = ?1");
    s.Bind(1, instrument);
    if (s.Step() == SQLITE_ROW && !s.IsNull(0)) {
      merged.valueCount = static_cast<int>(s.Int(0));
      merged.withoutTime = s.Int(1) + s.Int(2);
    }
  }
  // Per minute the preferred record comes first: received, from a complete download, newest.
  Statement s(db_,
              "SELECT r.moment, r.time, r.vals FROM downloads d JOIN records r ON r.download = d.id "
              "WHERE d.instrument = ?1 AND r.moment IS NOT NULL AND r.failed = 0 "
              "AND r.moment BETWEEN ?2 AND ?3 "
              "ORDER BY r.moment, d.complete DESC, d.id DESC");
  s.Bind(1, instrument).Bind(2, from.value_or(0)).Bind(3, to.value_or(INT64_MAX));
  std::optional<Moment> previous;
  while (s.Step() == SQLITE_ROW) {
    const Moment m = s.Int(0);
    if (previous == m) {
      ++merged.duplicates;
      continue;
    }
    previous = m;
    merged.rows.push_back({s.Text(1), SplitValues(s.Text(2)), false});
  }
  return merged;
}

bool Archive::Delete(int64_t id, ArchiveError* error) {
  ArchiveError why;
  if (!Exec(db_, "BEGIN IMMEDIATE", &why)) {
    if (error) *error = kArchiveStoreFailed + why;
    return false;
  }
  Statement records(db_, "DELETE FROM records WHERE download = ?");
  records.Bind(1, id);
  Statement head(db_, "DELETE FROM downloads WHERE id = ?");
  head.Bind(1, id);
  if (records.Step() != SQLITE_DONE || head.Step() != SQLITE_DONE) {
    if (error) *error = kArchiveStoreFailed + Message(db_);
    Exec(db_, "ROLLBACK", nullptr);
    return false;
  }
  const bool found = sqlite3_changes(db_) > 0;
  if (!Exec(db_, "COMMIT", &why)) {
    if (error) *error = kArchiveStoreFailed + why;
    Exec(db_, "ROLLBACK", nullptr);
    return false;
  }
  if (!found && error) *error = kNoSuchDownload + std::to_string(id);
  return found;
}

}  // namespace pages::history
