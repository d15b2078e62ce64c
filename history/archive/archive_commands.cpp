#include "history/archive/archive_commands.h"

#include <filesystem>
#include <variant>

#include "history/history_archive.h"
#include "history/history_export.h"
#include "history/history_report.h"

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

// The records a verb works on: one download (--id) or one instrument's merged records (--sn),
// within --from/--to.
struct Selection {
  std::vector<history::RecordRow> rows;
  int valueCount = history::kTransmitterValueCount;
  int64_t leftOut = 0;     // --id: outside the range; --sn: without a real time
  int64_t duplicates = 0;  // --sn: times more than one download held
  std::string instrument;  // as a report names it
  std::string source;      // which of the archive's records
  std::string started;     // --id: when the download was made
};

// Checks --id/--sn and the bounds before the archive is opened.
std::optional<Outcome> CheckSelection(const Args& args, std::optional<Moment>& from,
                                      std::optional<Moment>& to) {
  const bool byId = args.Has("id");
  if (byId == args.Has("sn")) return Outcome::Refused(kIdOrSn, byId ? "sn" : "id");
  if (auto refused = EmptySn(args)) return refused;
  if (auto refused = TakeBound(args, "from", from)) return refused;
  if (auto refused = TakeBound(args, "to", to)) return refused;
  if (from && to && *from > *to) return Outcome::Refused(kFromAfterTo, "from");
  return std::nullopt;
}

std::variant<Selection, Outcome> Select(const Args& args, const Archive& archive,
                                        std::optional<Moment> from, std::optional<Moment> to) {
  Selection selected;
  if (args.Has("id")) {
    const std::optional<ArchivedDownload> d = archive.Find(args.Int("id"));
    if (!d) return Outcome::Failure(history::kNoSuchDownload + std::to_string(args.Int("id")));
    selected.valueCount = d->valueCount;
    selected.instrument = d->sn.empty() ? d->instrument
                                        : "SN " + d->sn + (d->versions.empty() ? "" : "，" + d->versions);
    selected.source = "历史档案 " + archive.Path() + "，编号" + std::to_string(d->id);
    selected.started = d->started;
    for (history::RecordRow& row : archive.Rows(d->id)) {
      // Within bounds only a record with a real time can be said to lie.
      if (from || to) {
        const std::optional<Moment> m =
            row.impossibleTime ? std::nullopt : history::MomentOfTime(row.time);
        if (!m || (from && *m < *from) || (to && *m > *to)) {
          ++selected.leftOut;
          continue;
        }
      }
      selected.rows.push_back(std::move(row));
    }
    return selected;
  }
  const std::vector<ArchivedDownload> downloads = archive.List(args.Text("sn"));
  if (downloads.empty()) return Outcome::Failure(kNothingInArchive + args.Text("sn"));
  history::MergedRecords merged = archive.Merged(args.Text("sn"), from, to);
  selected.rows = std::move(merged.rows);
  selected.valueCount = merged.valueCount;
  selected.leftOut = merged.withoutTime;
  selected.duplicates = merged.duplicates;
  selected.instrument = downloads.front().sn.empty() ? downloads.front().instrument
                                                     : "SN " + downloads.front().sn;
  selected.source = "历史档案 " + archive.Path() + "，" + std::to_string(downloads.size()) +
                    "次下载合并";
  return selected;
}

Outcome Export(const Args& args) {
  std::optional<Moment> from, to;
  if (auto refused = CheckSelection(args, from, to)) return *refused;
  const std::string& out = args.Text("out");
  const std::optional<history::FileType> type = history::TypeOfPath(out);
  if (!type) return Outcome::Refused(kOutNeedsType, "out");
  Outcome failure;
  const std::unique_ptr<Archive> archive = OpenArchive(args, &failure);
  if (!archive) return failure;
  auto selection = Select(args, *archive, from, to);
  if (auto* failed = std::get_if<Outcome>(&selection)) return *failed;
  const Selection& selected = std::get<Selection>(selection);
  const std::string saveFailure =
      history::SaveRecords(out, *type, selected.rows, selected.valueCount);
  if (!saveFailure.empty()) return Outcome::Failure(saveFailure);
  Outcome outcome = Outcome::Success(kExported);
  outcome.With("file", out).With("rows", static_cast<int64_t>(selected.rows.size()));
  if (args.Has("id")) {
    outcome.With("outside-range", selected.leftOut);
  } else {
    outcome.With("without-time", selected.leftOut).With("duplicates", selected.duplicates);
  }
  return outcome;
}

// The statistics and PDF report of what export would write.
Outcome Report(const Args& args) {
  std::optional<Moment> from, to;
  if (auto refused = CheckSelection(args, from, to)) return *refused;
  if (!history::IsPdfPath(args.Text("out"))) return Outcome::Refused(history::kOutNeedsPdf, "out");
  auto limits = history::ReportLimitsOf(args);
  if (auto* refused = std::get_if<Outcome>(&limits)) return *refused;
  Outcome failure;
  const std::unique_ptr<Archive> archive = OpenArchive(args, &failure);
  if (!archive) return failure;
  auto selection = Select(args, *archive, from, to);
  if (auto* failed = std::get_if<Outcome>(&selection)) return *failed;
  Selection& selected = std::get<Selection>(selection);
  history::ReportContent content = history::NewReport(
      args, std::get<history::ReportLimits>(limits), std::move(selected.rows));
  content.instrument = selected.instrument;
  content.source = selected.source;
  content.downloadedAt = selected.started;
  Outcome outcome = Outcome::Success(history::kReportDone);
  history::AddReport(outcome, content, args.Text("out"), "");
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
      "report",
      "statistics and a PDF report of one download (--id) or of one instrument's merged records "
      "(--sn), measured against the limits given",
      history::WithReportFields({IdField(false), SnField(), FilePath("out", "REPORT.pdf"),
                                 TimeField("from", "only records from this time on"),
                                 TimeField("to", "only records up to this time"), ArchiveField()}),
      Report));
  set.commands.push_back(OfflineVerb(
      "delete", "remove one download and its records from the archive",
      {IdField(true), Choice("confirm", "yes: the download is deleted for good", {"yes"}),
       ArchiveField()},
      Delete));
  return set;
}

}  // namespace pages::archive
