// tool-cli verbs of the history page: a download saved straight to a file.
#include <variant>

#include "history/history_archive.h"
#include "history/history_commands.h"
#include "history/history_export.h"
#include "history/history_report.h"
#include "history/history_stats.h"
#include "pages/settings/settings_commands.h"
#include "tool_version.h"

namespace pages::history {

namespace {

inline constexpr const char* kOutNeedsType = "--out 应以 .csv 或 .data 结尾";
inline constexpr const char* kPrintNeedsGprs = "打印数据下载只用于GPRS";
inline constexpr const char* kLimitsTwice = "--limits-from-instrument 与 --temp-upper 等上下限不能同时给出";
inline constexpr const char* kLimitsReadFailed = "报警上下限读取失败：";

Outcome ReportFromFile(const Args& args) {
  const std::string& out = args.Text("out");
  if (!IsPdfPath(out)) return Outcome::Refused(kOutNeedsPdf, "out");
  auto limits = ReportLimitsOf(args);
  if (auto* refused = std::get_if<Outcome>(&limits)) return *refused;
  auto loaded = LoadRecords(args.Text("in"));
  if (!loaded.ok()) return loaded.outcome;
  ReportContent content =
      NewReport(args, std::get<ReportLimits>(limits), std::move(loaded.value.rows));
  content.source = args.Text("in");
  content.downloadedAt = loaded.value.savedAt;
  Outcome outcome = Outcome::Success(kReportDone);
  AddReport(outcome, content, out, "");
  return outcome;
}
inline constexpr const char* kNoArchiveNoOut = "--no-archive 时需要 --out（下载的记录无处存放）";
inline constexpr const char* kNoArchiveBuiltInNoOut = "此版本不含历史档案，需要 --out（下载的记录无处存放）";
inline constexpr const char* kArchiveAndNoArchive = "--archive 与 --no-archive 不能同时给出";

// The file holds what arrived of a download that did not complete.
std::string IncompleteSaved(int64_t missing, bool inFile) {
  return std::string(inFile ? "文件" : "历史档案") + "中的下载不完整：" + std::to_string(missing) +
         "条记录未收到";
}

std::string ArchivePathHelp() {
  return "$XDG_DATA_HOME/tool/" + std::string(kArchiveFileName);
}

// Collects the rows and passes the progress on.
class Collector : public DownloadEvents {
 public:
  explicit Collector(const ProgressSink& progress) : progress_(progress) {}
  void Progress(int64_t current, int64_t maximum) override {
    if (progress_) progress_(current, maximum);
  }
  void Rows(std::vector<RecordRow> rows) override {
    for (RecordRow& row : rows) rows_.push_back(std::move(row));
  }
  std::vector<RecordRow> rows_;

 private:
  const ProgressSink& progress_;
};

Outcome DownloadToFile(devlink::Channel& channel, const Args& args, const ProgressSink& progress) {
  const std::string out = args.Has("out") ? args.Text("out") : std::string();
  // A build without an archive stores only into one asked for by name (which then says why not).
  const bool keep = !args.Switch("no-archive") && (ArchiveBuiltIn() || args.Has("archive"));
  std::optional<FileType> type;
  if (!out.empty()) {
    type = TypeOfPath(out);
    if (!type) return Outcome::Refused(kOutNeedsType, "out");
  }
  if (!keep && args.Has("archive")) return Outcome::Refused(kArchiveAndNoArchive, "no-archive");
  if (!keep && out.empty()) {
    return Outcome::Refused(ArchiveBuiltIn() ? kNoArchiveNoOut : kNoArchiveBuiltInNoOut, "out");
  }
  // A report's options are checked before anything is sent.
  const bool report = args.Has("report");
  if (report && !IsPdfPath(args.Text("report"))) return Outcome::Refused(kReportNeedsPdf, "report");
  auto given = ReportLimitsOf(args);
  if (auto* refused = std::get_if<Outcome>(&given)) return *refused;
  ReportLimits limits = std::get<ReportLimits>(given);
  const bool fromInstrument = args.Switch("limits-from-instrument");
  if (fromInstrument && AnyReportLimitGiven(args)) {
    return Outcome::Refused(kLimitsTwice, "limits-from-instrument");
  }
  if (!report && (fromInstrument || AnyReportLimitGiven(args) || args.Has("title"))) {
    return MissingField("report");  // options of a report that was not asked for
  }
  DownloadRequest request;
  request.source = args.Text("source") == "gprs" ? Source::Gprs : Source::Transmitter;
  request.kind = args.Text("kind") == "print" ? DownloadKind::Print : DownloadKind::History;
  if (request.source == Source::Transmitter && request.kind == DownloadKind::Print) {
    return Outcome::Refused(kPrintNeedsGprs, "kind");
  }
  // The archive is opened before anything is sent: one that is refused costs no download.
  std::unique_ptr<Archive> archive;
  ArchiveIdentity identity;
  if (keep) {
    const std::string path = args.Has("archive") ? args.Text("archive") : ArchivePath();
    ArchiveError error;
    archive = Archive::Open(path, &error);
    if (!archive) return Outcome::Failure(error);
    identity = IdentifyInstrument(channel, request.source);
  }
  // The report names the transmitter by its SN when it tells it (a failed read names none); the
  // archive has asked for it already.
  std::string instrument;
  if (report && request.source == Source::Transmitter) {
    if (!keep) identity = IdentifyInstrument(channel, request.source);
    instrument = identity.Named();
  }
  if (fromInstrument) {
    const auto read = settings::ReadLimits(channel, settings::LimitKind::Alarm);
    if (!read.ok()) {
      Outcome failure = Outcome::Failure(kLimitsReadFailed + read.message());
      failure.detail = read.outcome.detail;
      return failure;
    }
    limits = {{read.value.temperature.lower, read.value.temperature.upper},
              {read.value.humidity.lower, read.value.humidity.upper}};
  }
  // Without a dialog to cancel, an instrument that fell silent ends the download.
  if (!args.Switch("keep-going")) request.silentBlockLimit = kSilentBlockLimit;
  std::unique_ptr<StreamLine> stream = StreamBehind(channel);
  const std::atomic<bool> proceed{true};
  Collector collector(progress);
  const DownloadResult result = Download(channel, stream.get(), request, proceed, collector);
  // A download that announced no records saves an empty list; a failed one saves nothing.
  const bool empty = result.status == kStatusNormal && collector.rows_.empty();
  Outcome outcome = Outcome::Failure(result.message.empty() ? result.status : result.message);
  outcome.detail = result.detail;
  const bool saved = !out.empty() && (result.saveEnabled || empty);
  // Every download that filled the list is kept, a partial one marked incomplete.
  const bool stored = archive && !collector.rows_.empty();
  std::optional<int64_t> id;
  bool kept = false;  // in the file or the archive, as the outcome says
  if (saved || stored) {
    std::string failure = saved ? SaveRecords(out, *type, collector.rows_, result.valueCount)
                                : std::string();
    if (stored) {
      ArchiveError error;
      id = archive->Store({identity, request, result, collector.rows_, {}}, &error);
      if (!id && failure.empty()) failure = error;
    }
    kept = failure.empty();
    if (!failure.empty()) {
      outcome = Outcome::Failure(failure);
    } else if (result.status == kStatusNormal) {
      outcome = Outcome::Success(saved ? kSaveDone : kStoredInArchive);
    } else if (saved || stored) {
      // Kept, but not whole: the message says so, beside why the download ended.
      const std::string why = result.message.empty() ? result.status : result.message;
      outcome = Outcome::Failure(why + "；" + IncompleteSaved(result.missing, saved));
      outcome.detail = result.detail;
    }
    if (saved) outcome.With("file", out);
    if (id) {
      outcome.With("archive", archive->Path());
      outcome.With("archive-id", *id);
    }
  }
  if (keep) outcome.With("sn", identity.sn).With("instrument", identity.Instrument());
  if (outcome.detail.empty()) outcome.detail = result.detail;
  outcome.With("status", result.status);
  if (result.recordCount) outcome.With("records", int64_t{*result.recordCount});
  outcome.With("rows", static_cast<int64_t>(collector.rows_.size()));
  if (result.failedBlocks > 0) outcome.With("failed-blocks", int64_t{result.failedBlocks});
  if (result.missing > 0) outcome.With("missing", result.missing);
  outcome.With("impossible-times", static_cast<int64_t>(result.impossibleTimes));
  // The report covers what was kept: a download that kept nothing has none.
  if (report && kept) {
    ReportContent content = NewReport(args, limits, std::move(collector.rows_));
    if (const devlink::DeviceLink* link = channel.Link()) content.connection = DescribeConnection(*link);
    content.downloadedAt = LocalNowText();
    content.instrument = instrument;
    // Beside the download's own values, in an object of their own.
    AddReport(outcome, content, args.Text("report"), "report.");
  }
  return outcome;
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "history";
  set.help = "history and print records: download from a transmitter or a GPRS module, save";
  set.commands.push_back(LongVerb(
      "download",
      "download the records, store them in the history archive (reading the SN first) and/or "
      "save them as CSV (GBK) or as a .data file (progress on stderr)",
      {Choice("source", "transmitter (SumFrame blocks) or gprs (text stream, serial only)",
              {"transmitter", "gprs"}),
       Choice("kind", "history records or print records (print: gprs only)", {"history", "print"})
           .Optional("history"),
       FilePath("out", "FILE.csv or FILE.data").Optional(),
       FilePath("archive", "the history archive to store the download in (default " +
                               ArchivePathHelp() + ")")
           .Optional(),
       Flag("no-archive", "do not store this download in the history archive (then --out is needed)"),
       Flag("keep-going",
            "ask every block even after 3 blocks in a row received nothing (the window's way)"),
       FilePath("report", "also write a PDF report of the records saved: REPORT.pdf").Optional(),
       Flag("limits-from-instrument",
            "measure the report against the alarm limits read from the instrument first")},
      DownloadToFile));
  set.commands.back().args = WithReportFields(std::move(set.commands.back().args));
  set.commands.push_back(OfflineVerb(
      "report",
      "statistics of a saved export (CSV or .data) and a PDF report of it; talks to no instrument",
      WithReportFields({FilePath("in", "FILE.csv or FILE.data, as saved by download or the window"),
                        FilePath("out", "REPORT.pdf")}),
      ReportFromFile));
  return set;
}

}  // namespace pages::history
