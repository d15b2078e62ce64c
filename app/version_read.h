#pragma once
// The instrument's hardware and software version read (SumFrame command 0x0C, sub-command 0xAA).
#include <optional>
#include <string>

#include "link/exchange.h"

namespace app {

inline constexpr const char* kReadOk = "数据读取成功";
inline constexpr const char* kReadFailed = "数据读取失败";

constexpr uint8_t kVersionCommand = 0x0C;
constexpr uint8_t kVersionSubCommand = 0xAA;
constexpr size_t kVersionReplyLength = 15;

struct Versions {
  std::string hardware;  // "%x.%x%x" of the digits of "d.dd"
  std::string software;
};

// 25 addr 0C AA 00 66 sum
devlink::Bytes BuildVersionRequest(uint8_t address);

// Checks a reply (exactly 15 bytes, '<', Sum8 of bytes 0..13 in byte 14, 'f' in byte 13) and
// formats the two four-character version texts of bytes 5-8 and 9-12.
std::optional<Versions> ParseVersionReply(devlink::ByteView reply);

struct VersionOutcome {
  std::optional<Versions> versions;  // set on success
  std::string message;               // kReadOk, kReadFailed or "串口打开失败"
};

// One version read over the channel.
VersionOutcome ReadVersions(devlink::Channel& channel);

}  // namespace app
