#pragma once
// The instrument's hardware and software version read (SumFrame command 0x0C, sub-command 0xAA).
#include <optional>
#include <string>

#include "link/exchange.h"
#include "pages/kit/outcome.h"

namespace pages {

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

// One version read over the channel: "数据读取成功" with the versions, else "数据读取失败" or
// "串口打开失败".
Result<Versions> ReadVersions(devlink::Channel& channel);

// What names an instrument: its SN (the SN widget's read) and, asked only of an instrument that
// answered it, its versions. Nothing when the SN read failed.
struct SnAndVersions {
  std::string sn;
  std::optional<Versions> versions;
};
std::optional<SnAndVersions> ReadSnAndVersions(devlink::Channel& channel);
// The same as a profile's instrument values: "sn", "hardware", "software" (none when unread).
Values IdentityValues(devlink::Channel& channel);

}  // namespace pages
