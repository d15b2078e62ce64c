#pragma once
// Commands of the "属性设置2" page: the sample period of each channel and the display's
// screen-off time. SumFrame exchanges with address 0; values are seconds, low byte first.
#include <span>
#include <string>
#include <string_view>

#include "link/exchange.h"
#include "pages/kit/command_table.h"

namespace pages::property2 {

inline constexpr const char* kReadFailed = "读取失败";
inline constexpr const char* kWriteFailed = "写入失败";
inline constexpr const char* kValueNotInList = "数据异常，请重新写入";
inline constexpr const char* kChannelRange = "通道号范围为1-32";

// One drop-down entry: its text and the number of seconds it stands for.
struct Entry {
  std::string text;
  int seconds = 0;
};

// Seconds an entry text stands for: the integer before "秒"; else the integer before "分"
// times 60; else 0 ("永不").
int EntrySeconds(std::string_view text);

// The "采样周期" and "息屏时间" entries in list order, numbers derived from their texts.
std::span<const Entry> SamplePeriods();
std::span<const Entry> ScreenOffTimes();
// Position of the first entry with that number, or -1.
int FindEntry(std::span<const Entry> entries, int seconds);

// The entry a read found: its list position, the device's value and the entry's text.
struct ListValue {
  const char* name = "";  // "period" / "time": the value's name in tool-cli's output
  int index = -1;
  int seconds = 0;
  std::string text;
};
Values Describe(const ListValue& value);

// A value that no entry has gives kValueNotInList (with the value).
Result<ListValue> ReadSamplePeriod(devlink::Channel& channel, int channelNumber);
Outcome WriteSamplePeriod(devlink::Channel& channel, int channelNumber, int seconds);
Result<ListValue> ReadScreenOff(devlink::Channel& channel);
Outcome WriteScreenOff(devlink::Channel& channel, int seconds);

CommandSet Commands();

}  // namespace pages::property2
