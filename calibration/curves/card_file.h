#pragma once
// The 32-bit card kind's calibration file: messages and the card number as the page shows it.
#include <optional>
#include <string>
#include <string_view>

#include "calibration/curves/curvecal_commands.h"

namespace pages::curvecal {

// Messages of loading a calibration file.
inline constexpr const char* kCalibrationFileInvalid = "校准文件无效！";
// Followed by the path and the library's result code.
inline constexpr const char* kOpenFileFailed = "打开文件失败！\r\n\r\n";
inline constexpr const char* kOpenFileFailedCode = "\r\n\r\n错误代码：%d";
inline constexpr const char* kCardLoadFailedFormat = "卡片 %.8d 的校准信息载入失败！";

// The field a load refuses when the path names no file.

// The card number of a card ID text: decimal digits only (blanks around ignored), at most
// INT32_MAX; none for an empty text or one with other characters (a hexadecimal letter).
std::optional<int> CardNumberOf(std::string_view text);
// "卡片 00001234 的校准信息载入失败！" for the card the text names; a text that is no card number
// is shown as it is.
std::string CardLoadFailed(std::string_view cardText);

// LoadCalibrationFile for the card whose number the page shows as text: the file is checked
// first ("校准文件无效！"), then the card number.
Result<Curve> LoadCardFromFile(const std::string& path, std::string_view cardText, bool humidity);

}  // namespace pages::curvecal
