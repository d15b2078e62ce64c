#pragma once
// Message texts that mean the same on every page, defined once. A text that belongs to one
// family (its command's own failure text, its validation rules) stays in that family.
#include "link/exchange.h"

namespace pages {

using devlink::kPortOpenFailed;  // "串口打开失败": serial channel selected, no port open

inline constexpr const char* kReadOk = "数据读取成功";
inline constexpr const char* kReadFailed = "数据读取失败";
inline constexpr const char* kWriteOk = "数据设置成功";
inline constexpr const char* kWriteFailed = "数据设置失败";

// Field input that is not what the field takes.
inline constexpr const char* kNotAnInteger = "请键入一个整数。";
inline constexpr const char* kNotANumber = "请键入一个数。";
inline constexpr const char* kNotAPositiveInteger = "“请填入一个正整数。”";
// Device text that is too long for its field, or that the device code page cannot carry.
inline constexpr const char* kTextTooLong = "输入的文字过长！";
inline constexpr const char* kTextNotEncodable = "输入的文字含有无法发送的字符！";
// A phone number with anything but digits in it (a '+', a blank, a letter).
inline constexpr const char* kNotAPhoneNumber = "号码只能由数字组成！";

inline constexpr const char* kPromptCaption = "提示";
// Asked before the stored history is erased (ConfirmClearHistory).
inline constexpr const char* kClearHistoryQuestion =
    "即将清除历史记录，该操作无法撤销！\n是否继续？";

}  // namespace pages
