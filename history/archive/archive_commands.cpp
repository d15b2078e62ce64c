#include "history/archive/archive_commands.h"

#include <filesystem>

#include "history/history_archive.h"
#include "history/history_export.h"

namespace pages::archive {

namespace {

using history::Archive;
using history::ArchivedDownload;
using history::Moment;

inline constexpr const char* kTimeFormat = "YYYY-MM-DD HH:MM";
inline constexpr const char* kIdOrSn = "请给出 --id 或 --sn 之一";
inline constexpr const char* kOutNeedsType = "--out 应以 .csv 或 .data 结尾";
inline constexpr const char* kFromAfterTo = "--from 晚于 --to";
inline constexpr const char* kDeleted = "已从历史档案删除";
inline constexpr const char* kExported = "操作成功！";
inline constexpr const char* kNothingInArchive = "历史档案中没有这台仪器的记录：";

Field ArchiveField() {
  return FilePath("archive", "the history archive (default $XDG_DATA_HOME/tool/" +
                                 std::string(history::kArchiveFileName) + ")")
      .Optional();
}

Field IdField(bool required) {
  Field id = Integer("id", "the download's id (tool-cli archive list)", 1, 999'999'999'999,
                     "下载编号应为正整数");
  if (!required) id.Optional();
  return id;
}

Field SnField() {
  return Text("sn", "the instrument: its SN, or the connection text list shows for one without")
      .Optional();
}

// An empty --sn would name every instrument at once.
std::optional<Outcome> EmptySn(const Args& args) {
  if (args.Has("sn") && TrimBlanks(args.Text("sn")).empty()) {
    return Outcome::Refused("--sn 不能为空", "sn");
  }
  return std::nullopt;
}

Field TimeField(const std::string& name, const std::string& help) {
  return Text(name, help).Optional().Takes(std::string("\"") + kTimeFormat + "\"");
}

std::string ArchivePath(const Args& args) {
  return args.Has("archive") ? args.Text("archive") : history::DefaultArchivePath();
}

// Reading verbs make no archive where there is none.
std::unique_ptr<Archive> OpenArchive(const Args& args, Outcome* failure) {
  history::ArchiveError error;
  std::unique_ptr<Archive> archive = Archive::Open(ArchivePath(args), &error, /*create=*/false);
  if (!archive) *failure = Outcome::Failure(error);
  return archive;
}

// An optional time bound; refused when it is no "YYYY-MM-DD HH:MM" of a real calendar.
std::optional<Outcome> TakeBound(const Args& args, const std::string& name,
                                 std::optional<Moment>& bound) {
  if (!args.Has(name)) return std::nullopt;
  bound = history::ParseMoment(args.Text(name));
  if (!bound) {
    return Outcome::Refused("时间应为 " + std::string(kTimeFormat) + " 的真实日期时间：" +
                                args.Text(name),
                            name);
  }
  return std::nullopt;
}

Values Summary(const ArchivedDownload& d) {
  return {{"id", d.id},
          {"sn", d.sn},
          {"instrument", d.instrument},
          {"records", d.records},
          {"first", d.first},
          {"last", d.last},
          {"started", d.started},
          {"complete", d.complete},
          {"source", std::string(d.source == history::Source::Gprs ? "gprs" : "transmitter")},
          {"kind", std::string(d.kind == history::DownloadKind::Print ? "print" : "history")},
          {"failed-blocks", int64_t{d.failedBlocks}}};
}

Outcome List(const Args& args) {
  if (auto refused = EmptySn(args)) return *refused;
  Outcome failure;
  const std::unique_ptr<Archive> archive = OpenArchive(args, &failure);
  if (!archive) {
    // Nothing downloaded yet is an empty list, not a failure.
    std::error_code ec;
    if (std::filesystem::exists(ArchivePath(args), ec)) return failure;
    Outcome empty = Outcome::Success(history::kNoArchiveYet + ArchivePath(args));
    empty.With("archive", ArchivePath(args)).With("count", int64_t{0});
    return empty.WithList("downloads", {});
  }
  std::vector<Values> items;
  for (const ArchivedDownload& d : archive->List(args.Has("sn") ? args.Text("sn") : std::string())) {
    items.push_back(Summary(d));
  }
  Outcome outcome = Outcome::Success({});
  outcome.With("archive", archive->Path()).With("count", static_cast<int64_t>(items.size()));
  outcome.WithList("downloads", std::move(items));
  return outcome;
}

Outcome Show(const Args& args) {
  Outcome failure;
  const std::unique_ptr<Archive> archive = OpenArchive(args, &failure);
  if (!archive) return failure;
  const std::optional<ArchivedDownload> d = archive->Find(args.Int("id"));
  if (!d) return Outcome::Failure(history::kNoSuchDownload + std::to_string(args.Int("id")));
  Outcome outcome = Outcome::Success({});
  for (auto& entry : Summary(*d)) outcome.values.push_back(std::move(entry));
  outcome.With("connection", d->connection)
      .With("address", int64_t{d->address})
      .With("versions", d->versions)
      .With("announced", int64_t{d->announced})
      .With("block-count", int64_t{d->blockCount})
      .With("block-size", int64_t{d->blockSize})
      .With("value-count", int64_t{d->valueCount})
      .With("failed-rows", d->failedRows)
      .With("missing", d->missing)
      .With("status", d->status);
  return outcome;
}

Outcome Export(const Args& args) {
  const bool byId = args.Has("id");
  const bool bySn = args.Has("sn");
  if (byId == bySn) return Outcome::Refused(kIdOrSn, byId ? "sn" : "id");
  if (auto refused = EmptySn(args)) return *refused;
  const std::string& out = args.Text("out");
  const std::optional<history::FileType> type = history::TypeOfPath(out);
  if (!type) return Outcome::Refused(kOutNeedsType, "out");
  std::optional<Moment> from, to;
  if (auto refused = TakeBound(args, "from", from)) return *refused;
  if (auto refused = TakeBound(args, "to", to)) return *refused;
  if (from && to && *from > *to) return Outcome::Refused(kFromAfterTo, "from");
  Outcome failure;
  const std::unique_ptr<Archive> archive = OpenArchive(args, &failure);
  if (!archive) return failure;

  std::vector<history::RecordRow> rows;
  int valueCount = history::kTransmitterValueCount;
  int64_t leftOut = 0, duplicates = 0;
  if (byId) {
    const std::optional<ArchivedDownload> d = archive->Find(args.Int("id"));
    if (!d) return Outcome::Failure(history::kNoSuchDownload + std::to_string(args.Int("id")));
    valueCount = d->valueCount;
    for (history::RecordRow& row : archive->Rows(d->id)) {
      // Within bounds only a record with a real time can be said to lie.
      if (from || to) {
        const std::optional<Moment> m =
            row.impossibleTime ? std::nullopt : history::MomentOfTime(row.time);
        if (!m || (from && *m < *from) || (to && *m > *to)) {
          ++leftOut;
          continue;
        }
      }
      rows.push_back(std::move(row));
    }
  } else {
    if (archive->List(args.Text("sn")).empty()) {
      return Outcome::Failure(kNothingInArchive + args.Text("sn"));
    }
    history::MergedRecords merged = archive->Merged(args.Text("sn"), from, to);
    rows = std::move(merged.rows);
    valueCount = merged.valueCount;
    leftOut = merged.withoutTime;
    duplicates = merged.duplicates;
  }
  const std::string saveFailure = history::SaveRecords(out, *type, rows, valueCount);
  if (!saveFailure.empty()) return Outcome::Failure(saveFailure);
  Outcome outcome = Outcome::Success(kExported);
  outcome.With("file", out).With("rows", static_cast<int64_t>(rows.size()));
  if (byId) {
    outcome.With("outside-range", leftOut);
  } else {
    outcome.With("without-time", leftOut).With("duplicates", duplicates);
  }
  return outcome;
}

Outcome Delete(const Args& args) {
  Outcome failure;
  const std::unique_ptr<Archive> archive = OpenArchive(args, &failure);
  if (!archive) return failure;
  history::ArchiveError error;
  if (!archive->Delete(args.Int("id"), &error)) return Outcome::Failure(error);
  return Outcome::Success(kDeleted).With("id", args.Int("id"));
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "archive";
  set.help = "the history archive: every download kept by instrument (on this PC, no connection)";
  set.commands.push_back(OfflineVerb("list", "the archived downloads, newest first",
                                   {SnField(), ArchiveField()}, List));
  set.commands.push_back(
      OfflineVerb("show", "one archived download", {IdField(true), ArchiveField()}, Show));
  set.commands.push_back(OfflineVerb(
      "export",
      "one download (--id), or one instrument's records merged across its downloads (--sn: each "
      "time once, in time order), as CSV (GBK) or .data",
      {IdField(false), SnField(), FilePath("out", "FILE.csv or FILE.data"),
       TimeField("from", "only records from this time on"),
       TimeField("to", "only records up to this time"), ArchiveField()},
      Export));
  set.commands.push_back(OfflineVerb(
      "delete", "remove one download and its records from the archive",
      {IdField(true), Choice("confirm", "yes: the download is deleted for good", {"yes"}),
       ArchiveField()},
      Delete));
  return set;
}

}  // namespace pages::archive
