// tool-cli verbs of the history page: a download saved straight to a file.
#include "history/history_commands.h"
#include "history/history_export.h"

namespace pages::history {

namespace {

inline constexpr const char* kOutNeedsType = "--out 应以 .csv 或 .data 结尾";
inline constexpr const char* kPrintNeedsGprs = "打印数据下载只用于GPRS";

// The file holds what arrived of a download that did not complete.
std::string IncompleteSaved(int64_t missing) {
  return "文件中的下载不完整：" + std::to_string(missing) + "条记录未收到";
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
  const std::string& out = args.Text("out");
  const std::optional<FileType> type = TypeOfPath(out);
  if (!type) return Outcome::Refused(kOutNeedsType, "out");
  DownloadRequest request;
  request.source = args.Text("source") == "gprs" ? Source::Gprs : Source::Transmitter;
  request.kind = args.Text("kind") == "print" ? DownloadKind::Print : DownloadKind::History;
  if (request.source == Source::Transmitter && request.kind == DownloadKind::Print) {
    return Outcome::Refused(kPrintNeedsGprs, "kind");
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
  if (result.saveEnabled || empty) {
    const std::string failure = SaveRecords(out, *type, collector.rows_, result.valueCount);
    if (!failure.empty()) {
      outcome = Outcome::Failure(failure);
    } else {
      if (result.status == kStatusNormal) {
        outcome = Outcome::Success(kSaveDone);
      } else {
        // Saved, but not whole: the message says so, beside why the download ended.
        const std::string why = result.message.empty() ? result.status : result.message;
        outcome = Outcome::Failure(why + "；" + IncompleteSaved(result.missing));
        outcome.detail = result.detail;
      }
      outcome.With("file", out);
    }
  }
  if (outcome.detail.empty()) outcome.detail = result.detail;
  outcome.With("status", result.status);
  if (result.recordCount) outcome.With("records", int64_t{*result.recordCount});
  outcome.With("rows", static_cast<int64_t>(collector.rows_.size()));
  if (result.failedBlocks > 0) outcome.With("failed-blocks", int64_t{result.failedBlocks});
  if (result.missing > 0) outcome.With("missing", result.missing);
  outcome.With("impossible-times", static_cast<int64_t>(result.impossibleTimes));
  return outcome;
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "history";
  set.help = "history and print records: download from a transmitter or a GPRS module, save";
  set.commands.push_back(LongVerb(
      "download",
      "download the records and save them as CSV (GBK) or as a .data file (progress on stderr)",
      {Choice("source", "transmitter (SumFrame blocks) or gprs (text stream, serial only)",
              {"transmitter", "gprs"}),
       Choice("kind", "history records or print records (print: gprs only)", {"history", "print"})
           .Optional("history"),
       FilePath("out", "FILE.csv or FILE.data"),
       Flag("keep-going",
            "ask every block even after 3 blocks in a row received nothing (the window's way)")},
      DownloadToFile));
  return set;
}

}  // namespace pages::history
