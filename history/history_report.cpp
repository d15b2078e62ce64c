#include "history/history_report.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "history/history_export.h"
#include "pages/settings/settings_commands.h"
#include "tool_version.h"

namespace pages::history {

namespace {

ReportRenderer& Renderer() {
  static ReportRenderer renderer;
  return renderer;
}

}  // namespace

std::string DescribeConnection(const devlink::DeviceLink& link) {
  const std::string address = "，地址 " + std::to_string(link.address);
  if (link.tcpMode) return "TCP " + link.ip + ":" + std::to_string(link.tcpPort) + address;
  return "串口 " + link.portName + address;
}

void InstallReportRenderer(ReportRenderer renderer) { Renderer() = std::move(renderer); }
bool HaveReportRenderer() { return static_cast<bool>(Renderer()); }

std::vector<Field> ReportLimitFields() {
  const auto limit = [](const char* name, const char* help, const LimitRange& range) {
    return Number(name, help)
        .Range(range.min, range.max, settings::RangeMessage(range))
        .Optional();
  };
  const LimitRange temperature = settings::TemperatureRange(settings::LimitKind::Alarm);
  const LimitRange humidity = settings::HumidityRange(settings::LimitKind::Alarm);
  return {limit("temp-upper", "temperature upper limit of the report", temperature),
          limit("temp-lower", "temperature lower limit of the report", temperature),
          limit("hum-upper", "humidity upper limit of the report", humidity),
          limit("hum-lower", "humidity lower limit of the report", humidity)};
}

bool AnyReportLimitGiven(const Args& args) {
  for (const char* name : {"temp-upper", "temp-lower", "hum-upper", "hum-lower"}) {
    if (args.Has(name)) return true;
  }
  return false;
}

std::variant<ReportLimits, Outcome> ReportLimitsOf(const Args& args) {
  auto value = [&](const char* name) -> std::optional<double> {
    if (!args.Has(name)) return std::nullopt;
    return args.Number(name);
  };
  ReportLimits limits{{value("temp-lower"), value("temp-upper")},
                      {value("hum-lower"), value("hum-upper")}};
  if (auto refused = RefuseLimitOrder(limits.temperature, "temp-upper", settings::kTempOrder)) {
    return *refused;
  }
  if (auto refused = RefuseLimitOrder(limits.humidity, "hum-upper", settings::kHumOrder)) {
    return *refused;
  }
  return limits;
}

bool IsPdfPath(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".pdf";
}

std::string WriteReport(const ReportContent& content, const std::string& path) {
  if (!Renderer()) return kNoRenderer;
  if (content.rows.empty()) return kNoRecords;
  std::string error;
  const std::optional<devlink::Bytes> pdf = Renderer()(content, &error);
  if (!pdf) return std::string(kReportFailed) + (error.empty() ? "" : "：" + error);
  if (!ReplaceFile(path, *pdf)) return std::string(kCreateFileFailed) + "：" + path;
  return {};
}

std::vector<Field> WithReportFields(std::vector<Field> fields) {
  for (Field& field : ReportLimitFields()) fields.push_back(std::move(field));
  fields.push_back(Text("title", "the report's title (default 历史数据报告)", 200)
                       .InCodePage(devlink::kCodePageUtf8)
                       .Optional());
  return fields;
}

ReportContent NewReport(const Args& args, const ReportLimits& limits, std::vector<RecordRow> rows) {
  ReportContent content;
  if (args.Has("title") && !args.Text("title").empty()) content.title = args.Text("title");
  content.programVersion = TOOL_VERSION;
  content.limits = limits;
  content.rows = std::move(rows);
  content.stats = ComputeStats(ReadingsOf(content.rows), limits);
  return content;
}

// Writes the report and adds its outcome to `outcome`: the statistics on success (their names
// after `prefix`), the reason (and ok false) on a failure.
void AddReport(Outcome& outcome, const ReportContent& content, const std::string& path,
               const std::string& prefix) {
  const std::string failure = WriteReport(content, path);
  if (!failure.empty()) {
    outcome.ok = false;
    outcome.message = outcome.message.empty() ? failure : outcome.message + "；" + failure;
    return;
  }
  outcome.With(prefix.empty() ? "report" : prefix + "file", path);
  for (auto& [name, value] : Describe(content.stats)) outcome.With(prefix + name, std::move(value));
}

}  // namespace pages::history
