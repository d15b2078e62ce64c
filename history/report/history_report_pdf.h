#pragma once
// The history report as an A4 PDF: title, where the records came from, the statistics table, a
// chart over the whole period with the limit lines and the excursions shaded, then the record
// table on the following pages with its heading repeated. Text is real text in the CJK font
// "WenQuanYi Zen Hei" (embedded), so it can be searched and copied; the chart is drawn in black
// and greys with line styles that stay apart when printed in black and white.
#include <optional>
#include <string>

#include "history/history_report.h"

namespace pages::history {

inline constexpr const char* kReportFontFamily = "WenQuanYi Zen Hei";

// Draws the report. Needs a QGuiApplication (or QApplication).
std::optional<devlink::Bytes> RenderReportPdf(const ReportContent& content, std::string* error);

// Installs RenderReportPdf as the process's report renderer. In a program without a
// QGuiApplication (tool-cli) the first report makes one on the offscreen platform.
void InstallPdfReports();

}  // namespace pages::history
