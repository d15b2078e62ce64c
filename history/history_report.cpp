#include "history/history_report.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "history/history_export.h"

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

std::string LocalTimeNow() {
  const std::tm local = LocalNow();
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

void InstallReportRenderer(ReportRenderer renderer) { Renderer() = std::move(renderer); }
bool HaveReportRenderer() { return static_cast<bool>(Renderer()); }

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

}  // namespace pages::history
