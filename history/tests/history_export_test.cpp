// The CSV and RecordDataFile writers, the save path rule and the replacement of a file.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/code_page_text.h"
#include "history/history_export.h"

namespace pages::history {
namespace {

using devlink::Bytes;

std::tm SavedAt() {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 9;
  t.tm_hour = 8;
  t.tm_min = 7;
  t.tm_sec = 6;
  return t;
}

std::string Gbk(const std::string& utf8) {
  Bytes bytes;
  EXPECT_TRUE(devlink::EncodeDeviceText(devlink::kCodePageOem, utf8, bytes));
  return std::string(bytes.begin(), bytes.end());
}

int32_t Int(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
  return static_cast<int32_t>(v);
}

float Float(const Bytes& b, size_t at) { return std::bit_cast<float>(static_cast<uint32_t>(Int(b, at))); }

TEST(SavePath, TheTypesExtensionIsKeptOrAppended) {
  struct Case {
    const char* chosen;
    FileType type;
    const char* path;
  } cases[] = {
      {"/tmp/x.DATA", FileType::Data, "/tmp/x.DATA"},
      {"/tmp/x", FileType::Data, "/tmp/x.data"},
      {"/tmp/x.txt", FileType::Data, "/tmp/x.txt.data"},
      {"/tmp/x.Csv", FileType::Csv, "/tmp/x.Csv"},
      {"/tmp/x.data", FileType::Csv, "/tmp/x.data.csv"},
      {"/tmp/a.csv/x", FileType::Csv, "/tmp/a.csv/x.csv"},  // a dot in a folder is no extension
  };
  for (const Case& c : cases) EXPECT_EQ(SavePath(c.chosen, c.type), c.path) << c.chosen;
  EXPECT_EQ(TypeOfPath("r.CSV"), FileType::Csv);
  EXPECT_EQ(TypeOfPath("r.data"), FileType::Data);
  EXPECT_EQ(TypeOfPath("r.txt"), std::nullopt);
}

TEST(CsvFile, GbkWithCrLfItsTwoHeadLinesAndTheRowsAsDisplayed) {
  const std::string head = "文件保存时间：,2024-03-09 08:07:06\r\n序号,时间,温度℃,湿度%RH\r\n";
  const Bytes empty = CsvBytes({}, SavedAt());
  EXPECT_EQ(std::string(empty.begin(), empty.end()), Gbk(head));

  const std::vector<RecordRow> rows{{"2023年05月06日07时08分", {"23.1", "60.0"}},
                                    {"2000年00月00日00时00分", {"ERR", "err"}},
                                    {"2023年05月06日07时09分", {"-1.5"}}};
  const Bytes csv = CsvBytes(rows, SavedAt());
  const std::string text(csv.begin(), csv.end());
  EXPECT_EQ(text, Gbk(head + "1,2023年05月06日07时08分,23.1,60.0\r\n"
                             "2,2000年00月00日00时00分,ERR,err\r\n"
                             "3,2023年05月06日07时09分,-1.5,\r\n"));
  // Read back as a spreadsheet would: GBK, lines at CR LF, fields at commas.
  const std::string decoded =
      devlink::DecodeCodePageText(devlink::kCodePageOem, csv.data(), csv.size());
  std::vector<std::vector<std::string>> table;
  std::stringstream lines(decoded);
  for (std::string line; std::getline(lines, line);) {
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    std::vector<std::string> fields;
    std::stringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
    table.push_back(fields);
  }
  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table[1], (std::vector<std::string>{"序号", "时间", "温度℃", "湿度%RH"}));
  EXPECT_EQ(table[3], (std::vector<std::string>{"2", "2000年00月00日00时00分", "ERR", "err"}));
}

TEST(RecordDataFile, HeadRowsTimesAndMissingValues) {
  const Bytes empty = RecordDataBytes({}, 2);
  EXPECT_EQ(empty, (Bytes{0, 2, 0, 0, 0, 0, 0, 0}));

  const std::vector<RecordRow> rows{{"2023年05月06日07时08分", {"23.1", "60.0"}},
                                    {"2000年00月00日00时00分", {"ERR", "err"}},
                                    {"2024年1月2日3时4分", {"abc", ""}}};
  // N = 3 as after a GPRS download: the third value reads a column the list lacks.
  const Bytes data = RecordDataBytes(rows, 3);
  constexpr size_t kRow = 24 + 4 * 3;
  ASSERT_EQ(data.size(), 8 + 3 * kRow);
  EXPECT_EQ(data[1], 3);
  EXPECT_EQ(Int(data, 4), 3);
  const size_t r0 = 8;
  EXPECT_EQ((std::vector<int32_t>{Int(data, r0), Int(data, r0 + 4), Int(data, r0 + 8),
                                  Int(data, r0 + 12), Int(data, r0 + 16), Int(data, r0 + 20)}),
            (std::vector<int32_t>{2023, 5, 6, 7, 8, 0}));
  EXPECT_FLOAT_EQ(Float(data, r0 + 24), 23.1f);
  EXPECT_FLOAT_EQ(Float(data, r0 + 28), 60.0f);
  EXPECT_FLOAT_EQ(Float(data, r0 + 32), 0.0f);
  const size_t r1 = r0 + kRow;
  EXPECT_EQ(Int(data, r1), 2000);
  EXPECT_EQ(Int(data, r1 + 4), 0);
  EXPECT_FLOAT_EQ(Float(data, r1 + 24), -1000.0f);
  EXPECT_FLOAT_EQ(Float(data, r1 + 28), -1000.0f);
  // Fields read at fixed byte positions: "1月" puts the month's digits out of place.
  const size_t r2 = r1 + kRow;
  EXPECT_EQ(Int(data, r2), 2024);
  EXPECT_EQ(Int(data, r2 + 4), 1);
  EXPECT_FLOAT_EQ(Float(data, r2 + 24), 0.0f);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST(SaveRecords, ReplacesAFileAndAFailedSaveLeavesTheOldOne) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("history_save_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "list.data").string();
  { std::ofstream(path) << "old contents"; }
  const std::vector<RecordRow> rows{{"2023年05月06日07时08分", {"23.1", "60.0"}}};
  EXPECT_EQ(SaveRecords(path, FileType::Data, rows, 2), "");
  EXPECT_EQ(ReadFile(path).size(), 8u + 32u);

  // The target is a folder: nothing can be written there, and the folder stays as it was.
  const auto folder = dir / "folder.csv";
  std::filesystem::create_directories(folder / "inside");
  EXPECT_EQ(SaveRecords(folder.string(), FileType::Csv, rows, 2), "创建文件失败");
  EXPECT_TRUE(std::filesystem::is_directory(folder / "inside"));
  EXPECT_EQ(SaveRecords((dir / "missing" / "x.data").string(), FileType::Data, rows, 2),
            "创建文件失败");
  EXPECT_EQ(ReadFile(path).size(), 8u + 32u);
  // No temporary file is left behind.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 2u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pages::history
