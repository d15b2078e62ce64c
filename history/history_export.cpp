#include "history/history_export.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "link/utf8.h"
#include "pages/kit/fields.h"

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

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08x%u.tmp", random(), serial++);
  return path + suffix;
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

bool ReplaceFile(const std::string& path, const Bytes& bytes) {
  const std::string temporary = TemporaryName(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wbx");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
#ifndef _WIN32
  ok = ok && ::fsync(::fileno(file)) == 0;
#endif
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, path, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::string SaveRecords(const std::string& path, FileType type, const std::vector<RecordRow>& rows,
                        int valueCount) {
  Bytes bytes;
  if (type == FileType::Csv) {
    bytes = CsvBytes(rows, LocalTimeNow());
  } else {
    bytes = RecordDataBytes(rows, valueCount);
  }
  return ReplaceFile(path, bytes) ? std::string() : std::string(kCreateFileFailed);
}

}  // namespace pages::history
