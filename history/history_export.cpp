#include "history/history_export.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#ifndef _WIN32
#endif

#include "history/history_stats.h"
#include "link/code_page_text.h"
#include "link/utf8.h"
#include "pages/kit/fields.h"
#include "pages/kit/messages.h"

namespace pages::history {

using devlink::Bytes;

namespace {

const char* const kExtensions[] = {"", "csv", "data"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The extension after the last dot of the file name ("" when there is none).
std::string_view Extension(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

// GBK bytes of a text; a character GBK lacks becomes '?' (list texts are the program's own or
// came from the device in GBK, so this is a last resort).
void AppendGbk(Bytes& out, std::string_view text) {
  Bytes encoded;
  if (devlink::EncodeDeviceText(devlink::kCodePageOem, text, encoded)) {
    out.insert(out.end(), encoded.begin(), encoded.end());
    return;
  }
  while (!text.empty()) {
    const size_t length = std::max<size_t>(devlink::Utf8SequenceLength(text), 1);
    if (devlink::EncodeDeviceText(devlink::kCodePageOem, text.substr(0, length), encoded)) {
      out.insert(out.end(), encoded.begin(), encoded.end());
    } else {
      out.push_back('?');
    }
    text.remove_prefix(std::min(length, text.size()));
  }
}

int32_t TimeField(const Bytes& gbk, size_t from, size_t count) {
  if (from >= gbk.size()) return 0;
  const auto* text = reinterpret_cast<const char*>(gbk.data());
  const int64_t value = LeadingInteger(std::string_view(text + from, std::min(count, gbk.size() - from)));
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A value text as a decimal number: its leading number, 0 when it has none.
float ValueOf(std::string_view text) {
  if (EqualsIgnoringCase(text, kMissingValue)) return kMissingReading;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  return parsed.ec == std::errc() ? static_cast<float>(value) : 0.0f;
}

}  // namespace

std::string SavePath(const std::string& chosen, FileType type) {
  const char* extension = kExtensions[static_cast<int>(type)];
  if (EqualsIgnoringCase(Extension(chosen), extension)) return chosen;
  return chosen + "." + extension;
}

std::optional<FileType> TypeOfPath(const std::string& path) {
  const std::string_view extension = Extension(path);
  if (EqualsIgnoringCase(extension, "csv")) return FileType::Csv;
  if (EqualsIgnoringCase(extension, "data")) return FileType::Data;
  return std::nullopt;
}

Bytes CsvBytes(const std::vector<RecordRow>& rows, const std::tm& t) {
  char head[128];
  std::snprintf(head, sizeof head, "文件保存时间：,%d-%02d-%02d %02d:%02d:%02d\r\n",
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  Bytes out;
  AppendGbk(out, head);
  AppendGbk(out, "序号,时间,温度℃,湿度%RH\r\n");
  int number = 1;
  for (const RecordRow& row : rows) {
    std::string line = std::to_string(number++) + "," + row.time;
    for (size_t column = 0; column < kListValueColumns; ++column) {
      line += ",";
      if (column < row.values.size()) line += row.values[column];
    }
    AppendGbk(out, line + "\r\n");
  }
  return out;
}

Bytes RecordDataBytes(const std::vector<RecordRow>& rows, int valueCount) {
  const size_t n = static_cast<size_t>(std::clamp(valueCount, 0, 255));
  Bytes out{0, static_cast<uint8_t>(n), 0, 0};
  devlink::PutLe32(out, static_cast<uint32_t>(std::min<size_t>(rows.size(), INT32_MAX)));
  out.reserve(out.size() + rows.size() * (24 + 4 * n));
  for (const RecordRow& row : rows) {
    Bytes time;
    AppendGbk(time, row.time);
    for (const auto& [from, count] : {std::pair<size_t, size_t>{0, 4}, {6, 2}, {10, 2}, {14, 2}, {18, 2}}) {
      const int32_t field = row.impossibleTime ? -1 : TimeField(time, from, count);
      devlink::PutLe32(out, static_cast<uint32_t>(field));
    }
    devlink::PutLe32(out, 0);  // second
    for (size_t k = 0; k < n; ++k) {
      // Only the list's value columns exist; a value beyond them reads as empty text.
      const std::string_view text = k < row.values.size() && k < kListValueColumns
                                        ? std::string_view(row.values[k])
                                        : std::string_view();
      devlink::PutLe32(out, std::bit_cast<uint32_t>(ValueOf(text)));
    }
  }
  return out;
}

std::string SaveRecords(const std::string& path, FileType type, const std::vector<RecordRow>& rows,
                        int valueCount) {
  Bytes bytes;
  if (type == FileType::Csv) {
    bytes = CsvBytes(rows, LocalNow());
  } else {
    bytes = RecordDataBytes(rows, valueCount);
  }
  return ReplaceFile(path, bytes) ? std::string() : std::string(kCreateFileFailed);
}

namespace {

Outcome NotAnExport(const std::string& where, const std::string& why) {
  return Outcome::Failure(std::string(kNotAnExport) + where + "：" + why);
}

std::string LineName(size_t number) { return "第" + std::to_string(number) + "行"; }

// A value cell of a CSV row: a number, "err" (any case) or empty.
bool IsValueCell(std::string_view text) {
  std::optional<double> value;
  bool missing = false;
  ReadCell(text, value, missing);
  return value || missing || TrimBlanks(text).empty();
}

bool IsTimeCell(std::string_view text) {
  if (ParseListTime(text)) return true;
  // A failed block's time, or a time marked impossible by the download.
  if (text == kMissingTime) return true;
  const std::string_view mark = kImpossibleTimeMark;
  return text.size() >= mark.size() && text.substr(text.size() - mark.size()) == mark;
}

int32_t Le32(const Bytes& b, size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 |
                              uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24);
}

// A stored value as the list would show it: "err" for the missing mark, one decimal for
// readings in tenths, else the shortest decimal that reads back as the same single.
std::string ValueText(float value) {
  if (value == kMissingReading) return kMissingValue;
  const double decimal = SingleToDecimal(value);
  char text[64];
  if (std::fabs(decimal) < 1e9 && std::round(decimal * 10) == decimal * 10) {
    std::snprintf(text, sizeof text, "%.1f", decimal);
  } else {
    std::snprintf(text, sizeof text, "%.9g", decimal);
  }
  return text;
}

}  // namespace

Result<LoadedRecords> ParseCsvExport(const Bytes& bytes) {
  const std::string text = devlink::DecodeCodePageText(devlink::kCodePageOem, bytes.data(), bytes.size());
  LoadedRecords loaded;
  size_t number = 0;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + from, end - from);
    from = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (number == 1) {
      const std::string_view head = "文件保存时间：,";
      if (line.substr(0, head.size()) != head) {
        return NotAnExport(LineName(number), "应以“文件保存时间：,”开头");
      }
      loaded.savedAt = std::string(line.substr(head.size()));
      continue;
    }
    if (number == 2) {
      if (line != "序号,时间,温度℃,湿度%RH") {
        return NotAnExport(LineName(number), "应为“序号,时间,温度℃,湿度%RH”");
      }
      continue;
    }
    const std::vector<std::string_view> cells = SplitList(line, ',');
    if (cells.size() != 4) {
      return NotAnExport(LineName(number), "应有4个以逗号分隔的字段，而有" +
                                               std::to_string(cells.size()) + "个");
    }
    if (!ParseWholeInt(cells[0])) return NotAnExport(LineName(number), "序号不是整数");
    if (!IsTimeCell(cells[1])) return NotAnExport(LineName(number), "时间不是记录的时间");
    if (!IsValueCell(cells[2]) || !IsValueCell(cells[3])) {
      return NotAnExport(LineName(number), "数值不是数字");
    }
    RecordRow row;
    row.time = std::string(cells[1]);
    const std::string_view mark = kImpossibleTimeMark;
    row.impossibleTime = row.time.size() >= mark.size() &&
                         std::string_view(row.time).substr(row.time.size() - mark.size()) == mark;
    row.values = {std::string(TrimBlanks(cells[2])), std::string(TrimBlanks(cells[3]))};
    loaded.rows.push_back(std::move(row));
  }
  if (number < 2) return NotAnExport(LineName(number + 1), "缺少文件头");
  return {kReadOk, std::move(loaded)};
}

Result<LoadedRecords> ParseDataExport(const Bytes& bytes) {
  if (bytes.size() < 8 || bytes[0] != 0) return NotAnExport("文件头", "不是数据文件的文件头");
  LoadedRecords loaded;
  loaded.valueCount = bytes[1];
  const int32_t count = Le32(bytes, 4);
  const size_t rowSize = 24 + 4 * size_t{bytes[1]};
  if (count < 0) return NotAnExport("文件头", "记录条数为负");
  if (bytes.size() != 8 + static_cast<size_t>(count) * rowSize) {
    return NotAnExport("文件头", "记录条数" + std::to_string(count) + "与文件长度不符");
  }
  loaded.rows.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const size_t at = 8 + static_cast<size_t>(i) * rowSize;
    const std::string where = "第" + std::to_string(i + 1) + "条记录";
    int32_t f[6];
    for (size_t k = 0; k < 6; ++k) f[k] = Le32(bytes, at + 4 * k);
    RecordRow row;
    const bool unknown = f[0] == -1 && f[1] == -1 && f[2] == -1 && f[3] == -1 && f[4] == -1;
    const bool inRange = f[0] >= 0 && f[0] <= 9999 && f[1] >= 0 && f[1] <= 12 && f[2] >= 0 &&
                         f[2] <= 31 && f[3] >= 0 && f[3] <= 23 && f[4] >= 0 && f[4] <= 59;
    if (f[5] != 0 || !(unknown || inRange)) return NotAnExport(where, "时间字段超出范围");
    if (unknown) {
      row.impossibleTime = true;
      row.time = kImpossibleTimeMark;
    } else {
      char time[64];
      std::snprintf(time, sizeof time, "%d年%.2d月%.2d日%.2d时%.2d分", f[0], f[1], f[2], f[3], f[4]);
      row.time = time;
    }
    for (size_t k = 0; k < bytes[1] && k < kListValueColumns; ++k) {
      const float value = std::bit_cast<float>(static_cast<uint32_t>(Le32(bytes, at + 24 + 4 * k)));
      if (!std::isfinite(value)) return NotAnExport(where, "数值不是数字");
      row.values.push_back(ValueText(value));
    }
    loaded.rows.push_back(std::move(row));
  }
  return {kReadOk, std::move(loaded)};
}

Result<LoadedRecords> LoadRecords(const std::string& path) {
  const std::optional<FileType> type = TypeOfPath(path);
  if (!type) return Outcome::Refused(kInNeedsType, "in");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Outcome::Failure(std::string(kOpenFileFailed) + path);
  Bytes bytes;
  uint8_t buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return Outcome::Failure(std::string(kOpenFileFailed) + path);
  return *type == FileType::Csv ? ParseCsvExport(bytes) : ParseDataExport(bytes);
}

}  // namespace pages::history
