#pragma once
// Commands of the "冷机" page: read the state of a reefer-container refrigeration unit (a list
// of tagged values) and write its temperature set point. XorFrame exchanges.
#include <array>
#include <optional>
#include <string>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::chiller {

inline constexpr const char* kReadFailed = "读取失败！";
inline constexpr const char* kWriteOk = "配置成功！";
inline constexpr const char* kWriteFailed = "配置失败！";
// The set point travels as hundredths in 16 bits.
inline constexpr const char* kSetPointRange = "设置温度范围为-327.68~327.67";

// "工作模式：" entries; a mode byte of 5 or more leaves kUnknownMode.
inline constexpr std::array<const char*, 6> kWorkModes{"关机", "开机", "制冷",
                                                       "制热", "除霜", "未知"};
inline constexpr int kUnknownMode = 5;

// What one read brings; fields whose tag was missing stay empty.
struct ChillerState {
  std::string container;           // tag 1
  std::string returnAir;           // tag 2, "%.2f"
  std::string supplyAir;           // tag 3, "%.2f"
  std::optional<double> setPoint;  // tag 4, rounded to two decimals
  int workMode = kUnknownMode;     // tag 5, index into kWorkModes
  std::string alarmCodes;          // tag 6, "%.3d " per code
};
Values Describe(const ChillerState& state);

// Walks the tagged records of a read reply's payload. Returns nullopt when a record runs past
// the end of the payload or a value is shorter than its tag needs.
std::optional<ChillerState> DecodeRecords(devlink::ByteView payload);

Result<ChillerState> ReadState(devlink::Channel& channel);
// Sends the set point as hundredths, truncated toward zero. A non-zero first reply byte is the
// device's error code: "配置失败！错误代码：%d".
Outcome WriteSetPoint(devlink::Channel& channel, double setPoint);

CommandSet Commands();

}  // namespace pages::chiller
