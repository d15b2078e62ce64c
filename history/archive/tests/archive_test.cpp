// The history archive: its file checks, schema migration and merging, and the tool-cli verbs
// through the simulated instrument, a download killed half-way included.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "history/history_archive.h"
#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"
#include "sim/families/history.h"

namespace pages::history {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The file without its first line (the CSV's save time).
std::string AfterFirstLine(const std::string& text) {
  const size_t end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(end + 1);
}

// Runs SQL on a database file outside the archive code; the first column of the first row.
std::string Query(const fs::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string value = "(open failed)";
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
    value = "(no row)";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      value = sqlite3_errmsg(db);
    } else if (sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(stmt, 0);
      value = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return value;
}

// Runs every statement of `sql` on a database file; the error text, empty on success.
std::string Exec(const fs::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string error;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) error = "open failed";
  char* text = nullptr;
  if (error.empty() && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &text) != SQLITE_OK) {
    error = text ? text : "failed";
  }
  sqlite3_free(text);
  sqlite3_close(db);
  return error;
}

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("archive_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

RecordRow Row(int minute, const std::string& t, const std::string& h) {
  char time[64];
  std::snprintf(time, sizeof time, "2023年05月06日07时%02d分", minute);
  return {time, {t, h}, false};
}

DownloadToStore Download(std::string sn, std::vector<RecordRow> rows, bool failedBlock = false) {
  DownloadToStore d;
  d.identity.sn = std::move(sn);
  d.identity.connection = "/dev/ttyUSB0";
  d.identity.address = 1;
  d.rows = std::move(rows);
  d.result.recordCount = static_cast<int32_t>(d.rows.size());
  if (failedBlock) {
    d.result.status = kStatusError;
    d.result.failedBlocks = 1;
  }
  return d;
}

TEST(ArchiveTimes, ListTimesAndBoundsBecomeMoments) {
  struct Case {
    std::string text;
    std::optional<Moment> moment;
  };
  const Case times[] = {
      {"2023年05月06日07时08分", 202305060708},
      {"2024年02月29日23时59分", 202402292359},  // leap day
      {"2023年02月29日00时00分", std::nullopt},  // no leap year
      {kMissingTime, std::nullopt},              // a failed record
      {"2023年05月06日24时00分", std::nullopt},
      {"2023-05-06 07:08", std::nullopt},
      {"2023年05月06日07时08分x", std::nullopt},
  };
  for (const Case& c : times) EXPECT_EQ(MomentOfTime(c.text), c.moment) << c.text;
  const Case bounds[] = {
      {"2024-02-29 23:59", 202402292359}, {" 2024-2-3 7:08 ", 202402030708},
      {"2024-02-30 00:00", std::nullopt}, {"2024-01-01 00:00:00", std::nullopt},
      {"2024-01-01", std::nullopt},       {"", std::nullopt},
      {"yesterday", std::nullopt},        {"2024-01-01 24:00", std::nullopt},
  };
  for (const Case& c : bounds) EXPECT_EQ(ParseMoment(c.text), c.moment) << c.text;
  EXPECT_EQ(FormatMoment(202402030708), "2024-02-03 07:08");
}

TEST(ArchiveFile, DefaultPathFollowsXdgDataHome) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_DATA_HOME", "/tmp/xdg-here", 1);
  EXPECT_EQ(DefaultArchivePath(), "/tmp/xdg-here/tool/archive.sqlite3");
  ::setenv("XDG_DATA_HOME", "relative/dir", 1);  // not absolute: ignored
  EXPECT_EQ(DefaultArchivePath(), std::string(std::getenv("HOME")) + "/.local/share/tool/archive.sqlite3");
  if (saved) ::setenv("XDG_DATA_HOME", restore.c_str(), 1); else ::unsetenv("XDG_DATA_HOME");
}

TEST(ArchiveFile, OtherFilesAndNewerArchivesAreRefusedAndLeftAlone) {
  TempDir dir;
  // A text file, a SQLite database of some other program, and an archive of a newer schema.
  const std::string text = dir / "notes.sqlite3";
  WriteFile(text, "temperatures, not an archive\n");
  const std::string foreign = dir / "other.db";
  ASSERT_EQ(Exec(foreign, "CREATE TABLE things(x); INSERT INTO things VALUES(1)"), "");
  const std::string newer = dir / "newer.sqlite3";
  {
    ArchiveError error;
    ASSERT_TRUE(Archive::Open(newer, &error)) << error;
  }
  Exec(newer, "PRAGMA user_version=" + std::to_string(kArchiveSchemaVersion + 1));
  struct Case {
    std::string path;
    const char* message;
  };
  for (const Case& c : {Case{text, kNotAnArchive}, Case{foreign, kNotAnArchive},
                        Case{newer, kNewerArchive}, Case{dir.path().string(), kNotAnArchive}}) {
    const std::string before = fs::is_regular_file(c.path) ? ReadFile(c.path) : "";
    ArchiveError error;
    EXPECT_FALSE(Archive::Open(c.path, &error)) << c.path;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    if (fs::is_regular_file(c.path)) EXPECT_EQ(ReadFile(c.path), before) << c.path;
  }
  EXPECT_EQ(Query(foreign, "PRAGMA journal_mode"), "delete");  // not turned into WAL
  // Reading verbs make no archive where there is none.
  ArchiveError error;
  EXPECT_FALSE(Archive::Open(dir / "missing.sqlite3", &error, /*create=*/false));
  EXPECT_FALSE(fs::exists(dir / "missing.sqlite3"));
}

TEST(ArchiveFile, AFirstVersionArchiveIsMigratedWithItsRecords) {
  TempDir dir;
  const std::string path = dir / "v1.sqlite3";
  // The first schema as the first program wrote it, with one download of two records.
  ASSERT_EQ(Exec(path,
        "CREATE TABLE downloads(id INTEGER PRIMARY KEY, instrument TEXT NOT NULL,"
        " sn TEXT NOT NULL DEFAULT '', connection TEXT NOT NULL DEFAULT '',"
        " address INTEGER NOT NULL DEFAULT 0, started TEXT NOT NULL, source TEXT NOT NULL,"
        " kind TEXT NOT NULL, announced INTEGER NOT NULL DEFAULT 0,"
        " block_count INTEGER NOT NULL DEFAULT 0, block_size INTEGER NOT NULL DEFAULT 0,"
        " value_count INTEGER NOT NULL DEFAULT 2, records INTEGER NOT NULL DEFAULT 0,"
        " failed_rows INTEGER NOT NULL DEFAULT 0, failed_blocks INTEGER NOT NULL DEFAULT 0,"
        " missing INTEGER NOT NULL DEFAULT 0, complete INTEGER NOT NULL DEFAULT 0,"
        " status TEXT NOT NULL DEFAULT '');"
        "CREATE TABLE records(download INTEGER NOT NULL, row INTEGER NOT NULL, moment INTEGER,"
        " time TEXT NOT NULL, vals TEXT NOT NULL, failed INTEGER NOT NULL DEFAULT 0,"
        " impossible INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(download, row)) WITHOUT ROWID;"
        "CREATE INDEX downloads_by_instrument ON downloads(instrument, started);"
        "INSERT INTO downloads(id, instrument, sn, started, source, kind, records, complete)"
        " VALUES(7, '7EAC00001', '7EAC00001', '2026-01-02 03:04:05', 'transmitter', 'history', 2, 1);"
        "INSERT INTO records VALUES(7, 1, 202305060708, '2023年05月06日07时08分', '23.1\x1f" "60.0', 0, 0);"
        "INSERT INTO records VALUES(7, 2, 202305060709, '2023年05月06日07时09分', '22.4\x1f" "60.3', 0, 0);"
        "PRAGMA application_id=1953253441; PRAGMA user_version=1;"), "");
  ArchiveError error;
  const auto archive = Archive::Open(path, &error);
  ASSERT_TRUE(archive) << error;
  EXPECT_EQ(Query(path, "PRAGMA user_version"), std::to_string(kArchiveSchemaVersion));
  const auto d = archive->Find(7);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->first, "2023-05-06 07:08");  // filled in by the migration
  EXPECT_EQ(d->last, "2023-05-06 07:09");
  EXPECT_EQ(archive->Rows(7), (std::vector<RecordRow>{Row(8, "23.1", "60.0"), Row(9, "22.4", "60.3")}));
}

TEST(ArchiveStore, DownloadsOfOneInstrumentMergeEachTimeOnce) {
  TempDir dir;
  ArchiveError error;
  auto archive = Archive::Open(dir / "a.sqlite3", &error);
  ASSERT_TRUE(archive) << error;
  // An earlier download whose middle block failed, a later whole one overlapping it, another
  // instrument, and a row whose time the instrument sent garbled.
  RecordRow garbled{"2023年13月06日07时08分（时间无效）", {"1.0", "2.0"}, true};
  const auto first = archive->Store(
      Download("SN1", {Row(1, "1.0", "50.0"), MissingRecordRow(), Row(3, "3.0", "50.0"), garbled},
               /*failedBlock=*/true),
      &error);
  ASSERT_TRUE(first) << error;
  const auto second =
      archive->Store(Download("SN1", {Row(2, "2.5", "51.0"), Row(3, "3.5", "51.0"), Row(4, "4.0", "51.0")}),
                     &error);
  ASSERT_TRUE(second) << error;
  ASSERT_TRUE(archive->Store(Download("SN2", {Row(1, "9.0", "9.0")}), &error));

  const auto list = archive->List("SN1");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].id, *second);  // newest first
  EXPECT_TRUE(list[0].complete);
  EXPECT_FALSE(list[1].complete);
  EXPECT_EQ(list[1].records, 4);
  EXPECT_EQ(list[1].failedRows, 1);
  EXPECT_EQ(list[1].first, "2023-05-06 07:01");
  EXPECT_EQ(list[1].last, "2023-05-06 07:03");
  EXPECT_EQ(archive->List().size(), 3u);
  EXPECT_EQ(archive->Rows(*first)[1], MissingRecordRow());
  EXPECT_TRUE(archive->Rows(*first)[3].impossibleTime);

  // Minute 3 is in both: the complete download's value wins.
  MergedRecords merged = archive->Merged("SN1");
  EXPECT_EQ(merged.rows, (std::vector<RecordRow>{Row(1, "1.0", "50.0"), Row(2, "2.5", "51.0"),
                                                 Row(3, "3.5", "51.0"), Row(4, "4.0", "51.0")}));
  EXPECT_EQ(merged.duplicates, 1);
  EXPECT_EQ(merged.withoutTime, 2);  // the failed row and the garbled one
  merged = archive->Merged("SN1", 202305060702, 202305060703);
  EXPECT_EQ(merged.rows, (std::vector<RecordRow>{Row(2, "2.5", "51.0"), Row(3, "3.5", "51.0")}));

  EXPECT_TRUE(archive->Delete(*second, &error)) << error;
  EXPECT_FALSE(archive->Delete(*second, &error));
  EXPECT_EQ(error, kNoSuchDownload + std::to_string(*second));
  EXPECT_TRUE(archive->Rows(*second).empty());
  EXPECT_EQ(archive->Merged("SN1").rows.size(), 2u);
}

// ---- tool-cli through the simulated instrument ----

class ArchiveCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.serial.ClosePort();  // tool-cli opens the line itself
    archive_ = dir_ / "archive.sqlite3";
  }
  void Records(int32_t count) {
    sim_.Device<sim::HistoryState>([&](sim::HistoryState& s) { s.recordCount = count; });
  }
  std::vector<std::string> DownloadWords() {
    return {"history", "download", "--source", "transmitter", "--archive", archive_,
            "--port",  sim_.SerialPath(), "--delay", "40"};
  }
  testing::ToolRun Cli(std::vector<std::string> words) {
    return testing::RunToolCli(words);
  }
  testing::SimLink sim_;
  TempDir dir_;
  std::string archive_;
};

TEST_F(ArchiveCliTest, TwoOverlappingDownloadsAreListedAndExportedMerged) {
  Records(120);
  auto run = Cli(DownloadWords());
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"sn\":\"7EAC00001\""), std::string::npos) << run.out;
  Records(150);
  run = Cli(DownloadWords());
  ASSERT_EQ(run.exit, 0) << run.out << run.err;

  run = Cli({"archive", "list", "--sn", "7EAC00001", "--archive", archive_});
  ASSERT_EQ(run.exit, 0) << run.out;
  const size_t second = run.out.find("{\"id\":2,\"sn\":\"7EAC00001\",\"instrument\":\"7EAC00001\",\"records\":150,"
                                     "\"first\":\"2023-05-06 07:08\",\"last\":\"2023-05-06 09:37\"");
  const size_t first = run.out.find("{\"id\":1,\"sn\":\"7EAC00001\",\"instrument\":\"7EAC00001\",\"records\":120,");
  EXPECT_NE(second, std::string::npos) << run.out;
  EXPECT_NE(first, std::string::npos) << run.out;
  EXPECT_LT(second, first);  // newest first
  EXPECT_NE(run.out.find("\"complete\":true"), std::string::npos);

  // The merged records are the longer download's, each once: for CSV and .data alike.
  for (const std::string ext : {".csv", ".data"}) {
    const std::string merged = dir_ / ("merged" + ext);
    const std::string longer = dir_ / ("longer" + ext);
    run = Cli({"archive", "export", "--sn", "7EAC00001", "--out", merged, "--archive", archive_});
    ASSERT_EQ(run.exit, 0) << run.out;
    EXPECT_NE(run.out.find("\"rows\":150,\"without-time\":0,\"duplicates\":120"), std::string::npos)
        << run.out;
    run = Cli({"archive", "export", "--id", "2", "--out", longer, "--archive", archive_});
    ASSERT_EQ(run.exit, 0) << run.out;
    if (ext == ".csv") {
      const std::string text = ReadFile(merged);
      EXPECT_EQ(AfterFirstLine(text), AfterFirstLine(ReadFile(longer)));
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 152);
    } else {
      EXPECT_EQ(ReadFile(merged), ReadFile(longer));
      EXPECT_EQ(ReadFile(merged).size(), 8u + 150u * (24u + 8u));
    }
  }
  // A time range: 07:10 to 07:19 inclusive.
  const std::string part = dir_ / "part.csv";
  run = Cli({"archive", "export", "--sn", "7EAC00001", "--out", part, "--from", "2023-05-06 07:10",
             "--to", "2023-05-06 07:19", "--archive", archive_});
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_NE(run.out.find("\"rows\":10,"), std::string::npos) << run.out;
  // The report of the merged records covers the same 150, measured against the limits given.
  const std::string report = dir_ / "merged.pdf";
  run = Cli({"archive", "report", "--sn", "7EAC00001", "--out", report, "--temp-upper", "20",
             "--archive", archive_});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"records\":150,\"missing\":0,\"first\":\"2023-05-06 07:08\","
                         "\"last\":\"2023-05-06 09:37\""),
            std::string::npos)
      << run.out;
  EXPECT_EQ(ReadFile(report).substr(0, 4), "%PDF");

  run = Cli({"archive", "delete", "--id", "1", "--confirm", "yes", "--archive", archive_});
  EXPECT_EQ(run.exit, 0) << run.out;
  run = Cli({"archive", "show", "--id", "1", "--archive", archive_});
  EXPECT_EQ(run.exit, 1) << run.out;
  EXPECT_NE(run.out.find(kNoSuchDownload), std::string::npos) << run.out;
}

TEST_F(ArchiveCliTest, ADownloadWithAFailedBlockIsKeptIncompleteAndAGprsOneBesideIt) {
  sim_.Device<sim::HistoryState>([&](sim::HistoryState& s) {
    s.recordCount = 120;
    s.failBlock = 2;  // records 41-80
  });
  auto run = Cli(DownloadWords());
  EXPECT_EQ(run.exit, 1) << run.out;  // kept, but not whole: said so
  EXPECT_NE(run.out.find("历史档案中的下载不完整"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"archive-id\":1"), std::string::npos) << run.out;
  sim_.Device<sim::HistoryState>([&](sim::HistoryState& s) { s.failBlock = 0; });
  std::vector<std::string> gprs = DownloadWords();
  gprs[3] = "gprs";
  run = Cli(gprs);
  EXPECT_EQ(run.exit, 0) << run.out;

  ArchiveError error;
  const auto archive = Archive::Open(archive_, &error);
  ASSERT_TRUE(archive) << error;
  const auto list = archive->List("7EAC00001");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].source, Source::Gprs);
  EXPECT_TRUE(list[0].complete);
  EXPECT_EQ(list[0].records, 120);
  EXPECT_EQ(list[1].source, Source::Transmitter);
  EXPECT_FALSE(list[1].complete);
  EXPECT_EQ(list[1].failedBlocks, 1);
  EXPECT_EQ(list[1].failedRows, 40);
  EXPECT_EQ(list[1].blockCount, 3);
  EXPECT_EQ(list[1].blockSize, 360);
  EXPECT_EQ(list[1].connection, sim_.SerialPath());
  EXPECT_EQ(archive->Rows(list[1].id)[40], MissingRecordRow());
  // The failed rows are left out of the merge; the GPRS download fills them in.
  const MergedRecords merged = archive->Merged("7EAC00001");
  EXPECT_EQ(merged.rows.size(), 120u);
  EXPECT_EQ(merged.withoutTime, 40);
}

TEST_F(ArchiveCliTest, BadOptionValuesAreRefusedBeforeAnythingIsDone) {
  const std::string out = dir_ / "x.csv";
  struct Case {
    std::vector<std::string> words;
    std::string option;
  };
  const Case cases[] = {
      {{"archive", "export", "--id", "1", "--sn", "A", "--out", out}, "--sn"},
      {{"archive", "export", "--out", out}, "--id"},
      {{"archive", "export", "--id", "0", "--out", out}, "--id"},
      {{"archive", "export", "--id", "x", "--out", out}, "--id"},
      {{"archive", "export", "--id", "1", "--out", dir_ / "x.txt"}, "--out"},
      {{"archive", "export", "--id", "1", "--out", out, "--from", "2023-02-29 00:00"}, "--from"},
      {{"archive", "export", "--id", "1", "--out", out, "--to", "2023-01-01 10:00:00"}, "--to"},
      {{"archive", "export", "--id", "1", "--out", out, "--from", "2023-01-02 00:00", "--to",
        "2023-01-01 00:00"},
       "--from"},
      {{"archive", "delete", "--id", "1", "--confirm", "no"}, "--confirm"},
      {{"archive", "delete", "--id", "1"}, "--confirm"},
      {{"archive", "show"}, "--id"},
      {{"archive", "list", "--sn", " "}, "--sn"},
      {{"archive", "export", "--sn", "", "--out", out}, "--sn"},
      {{"archive", "list", "--port", "/dev/null"}, "--port"},  // no connection here
      {{"history", "download", "--source", "transmitter", "--no-archive", "--port", sim_.SerialPath()},
       "--out"},
      {{"history", "download", "--source", "transmitter", "--no-archive", "--archive", "a.sqlite3",
        "--out", out, "--port", sim_.SerialPath()},
       "--no-archive"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = c.words;
    if (words[0] == "archive") words.insert(words.end(), {"--archive", archive_});
    const auto run = Cli(words);
    EXPECT_EQ(run.exit, 2) << c.words[1] << " " << c.option << ": " << run.out;
    EXPECT_NE(run.out.find("\"option\":\"" + c.option + "\""), std::string::npos) << run.out;
  }
  EXPECT_FALSE(fs::exists(archive_));  // no archive was made by any of them
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(sim_.Requests(), 0u);
}

TEST_F(ArchiveCliTest, ANonArchiveFileIsRefusedByEveryVerbAndLeftByteForByte) {
  const std::string bytes = "序号,时间\r\n1,2\r\n";
  WriteFile(archive_, bytes);
  Records(5);
  for (std::vector<std::string> words :
       {DownloadWords(), std::vector<std::string>{"archive", "list", "--archive", archive_},
        std::vector<std::string>{"archive", "delete", "--id", "1", "--confirm", "yes", "--archive",
                                 archive_}}) {
    const auto run = Cli(words);
    EXPECT_EQ(run.exit, 1) << run.out;
    EXPECT_NE(run.out.find(kNotAnArchive), std::string::npos) << run.out;
  }
  EXPECT_EQ(ReadFile(archive_), bytes);
  EXPECT_FALSE(fs::exists(archive_ + "-wal"));
  EXPECT_EQ(sim_.Requests(), 0u);  // refused before anything was sent
}

// Spawns tool-cli and kills it with SIGKILL once its progress line shows `after` records.
void KillDownloadAfter(const std::vector<std::string>& words, int after, bool mustBeKilled) {
  const char* tool = std::getenv("TOOL_CLI");
  ASSERT_NE(tool, nullptr);
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid = 0;
  ASSERT_EQ(testing::SpawnToolCli(tool, words, actions, &pid), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(err[1]);
  std::string seen;
  const std::string mark = " " + std::to_string(after) + "/";
  char buffer[4096];
  ssize_t n;
  while (seen.find(mark) == std::string::npos && (n = ::read(err[0], buffer, sizeof buffer)) > 0) {
    seen.append(buffer, static_cast<size_t>(n));
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(err[0]);
  if (mustBeKilled) {
    EXPECT_TRUE(WIFSIGNALED(status)) << "tool-cli ended before the kill: " << seen.substr(0, 200);
  }
}

TEST_F(ArchiveCliTest, ADownloadKilledMidWayLeavesTheArchiveWholeAndNothingMarkedComplete) {
  Records(120);
  auto run = Cli(DownloadWords());
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  // Killed while blocks arrive, and at the last record (the archive write follows at once).
  Records(4000);
  for (int after : {400, 4000}) {
    KillDownloadAfter(DownloadWords(), after, /*mustBeKilled=*/after < 4000);
    EXPECT_EQ(Query(archive_, "PRAGMA integrity_check"), "ok");
    ArchiveError error;
    const auto archive = Archive::Open(archive_, &error);
    ASSERT_TRUE(archive) << error;
    const auto list = archive->List();
    ASSERT_GE(list.size(), 1u);
    const ArchivedDownload& earlier = list.back();
    EXPECT_EQ(earlier.id, 1);
    EXPECT_TRUE(earlier.complete);
    EXPECT_EQ(earlier.records, 120);
    EXPECT_EQ(archive->Rows(1).size(), 120u);
    // Stored at all, the killed one is whole: the write is one transaction.
    for (const ArchivedDownload& d : list) {
      if (d.id != 1) EXPECT_EQ(archive->Rows(d.id).size(), 4000u) << after;
    }
  }
  // The archive takes the next download as before.
  Records(150);
  run = Cli(DownloadWords());
  EXPECT_EQ(run.exit, 0) << run.out << run.err;
}

}  // namespace
}  // namespace pages::history
