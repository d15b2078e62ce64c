// The PDF report read back as a reader would (pdftotext, pdftoppm from poppler-utils), and
// tool-cli's report verbs: from a saved export, after a download, and what they refuse.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "history/history_export.h"
#include "history/report/history_report_pdf.h"
#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"
#include "sim/families/history.h"
#include "sim/families/settings.h"

namespace pages::history {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Runs a poppler tool; its standard output.
std::string Poppler(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("history_report_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    InstallPdfReports();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // 120 rows 10 minutes apart from 2024-03-01 06:00: warm (rows 30-39), cold (rows 80-84),
  // a failed block (rows 50-52).
  static std::vector<RecordRow> Rows() {
    std::vector<RecordRow> rows;
    for (int i = 0; i < 120; ++i) {
      const int minutes = 6 * 60 + i * 10;
      char time[64];
      std::snprintf(time, sizeof time, "2024年03月%02d日%02d时%02d分", 1 + minutes / 1440,
                    minutes / 60 % 24, minutes % 60);
      double t = 5.0 + (i % 4) * 0.5;
      if (i >= 30 && i < 40) t = 9.0 + (i - 30) * 0.2;
      if (i >= 80 && i < 85) t = 1.0;
      char tt[16], hh[16];
      std::snprintf(tt, sizeof tt, "%.1f", t);
      std::snprintf(hh, sizeof hh, "%.1f", 50.0 + i % 10);
      if (i >= 50 && i < 53) {
        rows.push_back({kMissingTime, {"err", "err"}});
      } else {
        rows.push_back({time, {tt, hh}});
      }
    }
    return rows;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

// Counts the dark pixels of a binary PGM ("P5 w h 255\n" + bytes).
size_t DarkPixels(const std::string& pgm) {
  std::istringstream in(pgm);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P5" || w <= 0 || h <= 0) return 0;
  const size_t at = static_cast<size_t>(in.tellg());
  size_t dark = 0;
  for (size_t i = at; i < pgm.size(); ++i) dark += static_cast<unsigned char>(pgm[i]) < 128;
  return dark;
}

TEST_F(ReportTest, ThePdfHoldsTheStatisticsAndTheChineseLabelsAsTextAndIsNotBlank) {
  ReportContent content;
  content.title = "冷库3号 历史数据报告";
  content.instrument = "SN 0A0B12345";
  content.connection = "串口 /dev/ttyUSB0，地址 1";
  content.downloadedAt = "2024-03-02 09:00:00";
  content.programVersion = "0.1.0";
  content.limits = {{2.0, 8.0}, {std::nullopt, 58.0}};
  content.rows = Rows();
  content.stats = ComputeStats(ReadingsOf(content.rows), content.limits);
  const std::string pdf = Path("r.pdf");
  ASSERT_EQ(WriteReport(content, pdf), "");

  const std::string text = Poppler("pdftotext -layout " + pdf + " -");
  for (const char* expected :
       {"冷库3号 历史数据报告", "仪器", "SN 0A0B12345", "串口 /dev/ttyUSB0，地址 1", "下载时间",
        "2024-03-02 09:00:00", "程序版本", "统计", "记录条数", "缺失记录", "记录间隔", "10 分钟",
        "最低值", "最高值", "平均值", "平均动力学温度", "高于上限的记录", "低于下限的记录",
        "超限次数", "首次超限时间", "温度 ℃", "湿度 %RH", "记录表", "2024年03月01日06时00分",
        "第 1 页，共"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  const ChannelStats& t = content.stats.temperature;
  char mean[32], mkt[32];
  std::snprintf(mean, sizeof mean, "%.2f", *t.mean);
  std::snprintf(mkt, sizeof mkt, "%.2f", *t.mkt);
  for (const std::string& value :
       {std::string(mean), std::string(mkt), t.minAt, t.maxAt, t.firstExcursionAt,
        std::string("10 条，100 分钟"), std::string("5 条，50 分钟"), std::string("120")}) {
    EXPECT_NE(text.find(value), std::string::npos) << value;
  }
  // The font is embedded, so the text is the font's, not outlines.
  EXPECT_NE(Poppler("pdffonts " + pdf).find("WenQuanYi"), std::string::npos);
  // Every record is on a page after the first.
  EXPECT_NE(text.find("2024年03月01日23时50分"), std::string::npos);

  const std::string page = Poppler("pdftoppm -f 1 -l 1 -r 30 -gray " + pdf);
  EXPECT_GT(DarkPixels(page), 500u);
}

TEST_F(ReportTest, ToolCliReportsASavedExportAndRefusesWhatItCannotReport) {
  std::tm at{};
  at.tm_year = 124;
  at.tm_mon = 2;
  at.tm_mday = 2;
  const std::string csv = Path("r.csv");
  const devlink::Bytes bytes = CsvBytes(Rows(), at);
  ASSERT_TRUE(ReplaceFile(csv, bytes));
  const std::string out = Path("out.pdf");
  auto report = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {"history", "report"});
    return pages::testing::RunToolCli(words);
  };
  auto done = report({"--in", csv, "--out", out, "--temp-upper", "8", "--temp-lower", "2",
                      "--title", "月度报告"});
  ASSERT_EQ(done.exit, 0) << done.out << done.err;
  for (const char* expected :
       {"\"records\":120", "\"missing\":3", "\"first\":\"2024-03-01 06:00\"", "\"interval_minutes\":10",
        "\"temperature\":{\"valid\":117,\"missing\":3,\"min\":1,", "\"above\":10,\"above_minutes\":100",
        "\"below\":5,\"below_minutes\":50", "\"excursions\":2", "\"humidity\":{\"valid\":117,"}) {
    EXPECT_NE(done.out.find(expected), std::string::npos) << expected << "\n" << done.out;
  }
  EXPECT_NE(Poppler("pdftotext " + out + " -").find("月度报告"), std::string::npos);

  // The same file as .data gives the same statistics.
  const std::string data = Path("r.data");
  ASSERT_TRUE(ReplaceFile(data, RecordDataBytes(Rows(), 2)));
  auto fromData = report({"--in", data, "--out", Path("d.pdf"), "--temp-upper", "8", "--temp-lower", "2"});
  ASSERT_EQ(fromData.exit, 0) << fromData.out;
  EXPECT_EQ(done.out.substr(done.out.find("\"records\"")),
            fromData.out.substr(fromData.out.find("\"records\"")));

  // Refusals: the existing report is left as it was, and no other file appears.
  const std::string before = ReadFile(out);
  std::ofstream(Path("garbage.csv")) << "hello\r\n";
  fs::create_directory(Path("folder.csv"));
  std::ofstream(Path("badrow.csv")) << ReadFile(csv) << "121,now,1,2\r\n";
  struct Case {
    std::vector<std::string> words;
    int exit;
    const char* says;
  } cases[] = {
      {{"--in", csv, "--out", out, "--temp-upper", "2", "--temp-lower", "8"}, 2, "温度下限不能大于上限"},
      {{"--in", csv, "--out", out, "--hum-upper", "20", "--hum-lower", "30"}, 2, "湿度下限不能大于上限"},
      {{"--in", csv, "--out", out, "--temp-upper", "warm"}, 2, "\"option\":\"--temp-upper\""},
      {{"--in", csv, "--out", out, "--hum-lower", "1e999"}, 2, "\"option\":\"--hum-lower\""},
      {{"--in", csv, "--out", out, "--temp-upper", "5000"}, 2, "\"option\":\"--temp-upper\""},
      {{"--in", csv, "--out", Path("r.txt")}, 2, "--out 应以 .pdf 结尾"},
      {{"--in", Path("r.txt"), "--out", out}, 2, "--in 应以 .csv 或 .data 结尾"},
      {{"--in", csv, "--out", out, "--port", "/dev/null"}, 2, "\"option\":\"--port\""},
      {{"--in", csv, "--out", out, "--title", "a\x01"}, 2, "\"option\":\"--title\""},
      {{"--out", out}, 2, "缺少参数 --in"},
      {{"--in", Path("none.csv"), "--out", out}, 1, "无法打开文件"},
      {{"--in", Path("folder.csv"), "--out", out}, 1, "无法打开文件"},
      {{"--in", Path("garbage.csv"), "--out", out}, 1, "第1行"},
      {{"--in", Path("badrow.csv"), "--out", out}, 1, "第123行"},
      {{"--in", csv, "--out", Path("no/such/dir/x.pdf")}, 1, "创建文件失败"},
  };
  for (const Case& c : cases) {
    const auto run = report(c.words);
    EXPECT_EQ(run.exit, c.exit) << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.says << "\n" << run.out;
    EXPECT_EQ(run.out.find("\"records\""), std::string::npos) << run.out;
  }
  EXPECT_EQ(ReadFile(out), before);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 7u);  // r.csv, out.pdf, r.data, d.pdf, garbage.csv, badrow.csv, folder.csv
}

TEST_F(ReportTest, ADownloadsReportIsMeasuredAgainstTheInstrumentsAlarmLimits) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartSerial(&error)) << error;
  sim.link.serial.ClosePort();  // the port belongs to tool-cli
  sim.Device<sim::HistoryState>([](sim::HistoryState& s) { s.recordCount = 30; });
  sim.Device<sim::SettingsState>([](sim::SettingsState& s) { s.alarm = {-50, 220, 100, 900}; });
  auto download = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {"history", "download", "--source", "transmitter", "--out", Path("d.csv")});
    words.insert(words.end(), {"--port", sim.SerialPath(), "--delay", "40"});
    return pages::testing::RunToolCli(words);
  };
  const std::string pdf = Path("d.pdf");
  auto done = download({"--report", pdf, "--limits-from-instrument"});
  ASSERT_EQ(done.exit, 0) << done.out << done.err;
  EXPECT_NE(done.out.find("\"report\":{\"file\":\"" + pdf + "\",\"records\":30,"), std::string::npos)
      << done.out;
  EXPECT_NE(done.out.find("\"upper\":22,\"lower\":-5"), std::string::npos) << done.out;
  // The report says where the records came from.
  const std::string text = Poppler("pdftotext -layout " + pdf + " -");
  EXPECT_NE(text.find("串口 " + sim.SerialPath() + "，地址 1"), std::string::npos) << text;
  EXPECT_NE(text.find("SN "), std::string::npos) << text;
  EXPECT_EQ(text.find("未读取"), std::string::npos) << text;

  // What a report needs is checked before anything is sent.
  const size_t requests = sim.Requests();
  EXPECT_EQ(download({"--report", Path("x.txt")}).exit, 2);
  EXPECT_EQ(download({"--report", pdf, "--limits-from-instrument", "--temp-upper", "5"}).exit, 2);
  EXPECT_EQ(download({"--report", pdf, "--temp-upper", "1", "--temp-lower", "3"}).exit, 2);
  EXPECT_EQ(download({"--limits-from-instrument"}).exit, 2);
  EXPECT_EQ(download({"--temp-upper", "5"}).exit, 2);  // limits of no report
  EXPECT_EQ(sim.Requests(), requests);

  // An instrument that does not answer the limits read: nothing downloaded, no report.
  fs::remove(pdf);
  sim.simulator.SetFaults({.silent = true});
  const auto silent = download({"--report", pdf, "--limits-from-instrument"});
  EXPECT_EQ(silent.exit, 1) << silent.out;
  EXPECT_NE(silent.out.find("报警上下限读取失败"), std::string::npos) << silent.out;
  EXPECT_FALSE(fs::exists(pdf));
}

}  // namespace
}  // namespace pages::history
