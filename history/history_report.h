#pragma once
// What a history report holds, and how one is made: the statistics, where the records came from
// and the rows. Qt-free; the PDF itself is drawn by a renderer that a program with the Qt GUI
// module installs (history/report/), so the core and tool-cli's other verbs need no GUI.
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "history/history_commands.h"
#include "history/history_stats.h"
#include "link/device_link.h"

namespace pages::history {

inline constexpr const char* kReportTitle = "历史数据报告";
inline constexpr const char* kReportDone = "报告已生成";
inline constexpr const char* kReportFailed = "报告生成失败";
inline constexpr const char* kReportNeedsPdf = "--report 应以 .pdf 结尾";
inline constexpr const char* kOutNeedsPdf = "--out 应以 .pdf 结尾";
inline constexpr const char* kNoRenderer = "本程序未带PDF报告功能";
inline constexpr const char* kNoRecords = "没有记录，无法生成报告";

struct ReportContent {
  std::string title = kReportTitle;
  std::string instrument;    // SN and versions when they were read; empty: not read
  std::string connection;    // port or IP and the address; empty for a file
  std::string source;        // the export file the records came from; empty: a download
  std::string downloadedAt;  // "YYYY-MM-DD HH:MM:SS" of the download (or the file's save time)
  std::string programVersion;
  ReportLimits limits;
  HistoryStats stats;
  std::vector<RecordRow> rows;
};

// The link as the report names it: "串口 /dev/ttyUSB0，地址 1" or "TCP 10.10.100.254:10001，地址 1".
std::string DescribeConnection(const devlink::DeviceLink& link);

// Draws the report's PDF into bytes, or fails with the reason in `error`.
using ReportRenderer =
    std::function<std::optional<devlink::Bytes>(const ReportContent& content, std::string* error)>;
// Installs the renderer for the rest of the process (tool-cli's main, the program's start).
void InstallReportRenderer(ReportRenderer renderer);
bool HaveReportRenderer();

// Writes the PDF of `content` (its statistics filled in) to `path`, replacing a file there only
// once the whole report is drawn: on a failure `path` is left as it was. The empty text on
// success, else the message.
std::string WriteReport(const ReportContent& content, const std::string& path);

// The four limit fields ("temp-upper", "temp-lower", "hum-upper", "hum-lower"), optional numbers
// in the alarm limits' ranges: tool-cli's options and the page's fields.
std::vector<Field> ReportLimitFields();
bool AnyReportLimitGiven(const Args& args);
// The limits given, or the refusal of a lower limit above its upper one (the settings page's
// messages, naming the upper field).
std::variant<ReportLimits, Outcome> ReportLimitsOf(const Args& args);

// `fields` with the limit fields and an optional "title".
std::vector<Field> WithReportFields(std::vector<Field> fields);
// A report of `rows` measured against `limits`, titled by the "title" argument when given, with
// its statistics and this program's version.
ReportContent NewReport(const Args& args, const ReportLimits& limits, std::vector<RecordRow> rows);
// Writes the report and adds its outcome to `outcome`: the statistics on success (their names
// after `prefix`), the reason (and ok false) on a failure.
void AddReport(Outcome& outcome, const ReportContent& content, const std::string& path,
               const std::string& prefix);

// A path that ends in ".pdf" (any case).
bool IsPdfPath(const std::string& path);

}  // namespace pages::history
