#pragma once
// Saving the record list: a CSV text file in GBK with CR LF line ends, or the binary
// RecordDataFile. Both read the rows as the list displays them. Qt-free.
//
// RecordDataFile, little-endian: 00, N (values per row), 2 padding bytes (zero), row count
// (int32); then per row year, month, day, hour, minute, second (int32 each, second always 0) and
// N floats. The time comes from the GBK bytes of the time text at 0 (4 characters), 6, 10, 14
// and 18 (2 each); a value "err" (any case) is -1000.0, the format's mark for a missing value.
// A row marked impossibleTime has -1 in its five time fields (its values as they came); in the
// CSV its time cell carries the raw time and the mark.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "history/history_commands.h"
#include "link/codecs.h"
#include "pages/kit/local_files.h"

namespace pages::history {

inline constexpr const char* kCreateFileFailed = "创建文件失败";
inline constexpr const char* kSaveDone = "操作成功！";
inline constexpr const char* kSelectPoint = "请选择一个监测点";
inline constexpr float kMissingReading = -1000.0f;

// The save dialog's two types, in its order.
enum class FileType { Csv = 1, Data = 2 };

// The chosen name with the type's extension: kept when it already ends in it (any case),
// otherwise "." and the extension are appended to the whole name (x.txt -> x.txt.data).
std::string SavePath(const std::string& chosen, FileType type);
// The type a path's extension names (".csv", ".data", any case); nullopt for any other.
std::optional<FileType> TypeOfPath(const std::string& path);

devlink::Bytes CsvBytes(const std::vector<RecordRow>& rows, const std::tm& savedAt);
devlink::Bytes RecordDataBytes(const std::vector<RecordRow>& rows, int valueCount);

// A file replaced whole or not at all, and the local time now: the kit's.
using pages::LocalNow;
using pages::LocalNowText;
using pages::ReplaceFile;

// Writes the list as `type` with the local time now; the empty text on success, else the
// message to show ("创建文件失败").
std::string SaveRecords(const std::string& path, FileType type, const std::vector<RecordRow>& rows,
                        int valueCount);

// ---- reading an export back ----

inline constexpr const char* kOpenFileFailed = "无法打开文件：";
inline constexpr const char* kNotAnExport = "文件不是导出的历史数据：";
inline constexpr const char* kInNeedsType = "--in 应以 .csv 或 .data 结尾";

// The rows of an export file as the list showed them. From a RecordDataFile the times are
// written in the list's form ("%d年%.2d月%.2d日%.2d时%.2d分", a row with -1 in its time fields
// marked impossibleTime), -1000 as "err" and the other values as their shortest decimal.
struct LoadedRecords {
  std::vector<RecordRow> rows;
  int valueCount = kTransmitterValueCount;
  std::string savedAt;  // CSV: the save time of its first line
};

// Parses the bytes of a CSV export (GBK, CR LF or LF). The failure names the first line that is
// not one of ours: its number from 1 in `detail` ("第3行：...").
Result<LoadedRecords> ParseCsvExport(const devlink::Bytes& bytes);
// Parses a RecordDataFile. The failure names the head or the first bad row ("第2条记录：...").
Result<LoadedRecords> ParseDataExport(const devlink::Bytes& bytes);
// Reads `path` by its extension (.csv, .data). A file that cannot be read fails with
// kOpenFileFailed and the path.
Result<LoadedRecords> LoadRecords(const std::string& path);

}  // namespace pages::history
