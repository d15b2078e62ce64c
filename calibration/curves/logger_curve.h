#pragma once
// The logger kind's (2) frames and curve record, for logger_curve.cpp and its tests.
//
//   channel list   '#' '0' '0' '0' '2' 'f'      -> 111 bytes '<' ... 'f'; bit i of byte 102 set:
//                                                  the next channel n has code byte[62 + i] - 5
//                                                  and physical index i + 1
//   curve          '#' '0' '0' '0'+code '4' 'f' -> 107 bytes '<' ... 'f': the curve record
//   real-time raw  '#' '0' '0' '0' '5' 'f'      -> 23 bytes '<' ... 'f'; physical channel p at
//                                                  bytes 4 + 2p (high), 5 + 2p (low)
//   display        '#' '0' '0' '0' 'q' 'f' (TCP; over the serial port followed by
//                  '#' '0' '0' FF '9' 'f', whose reply counts) -> reply[5] + 6 bytes '<' ... 'f',
//                  channel ch's single at bytes 4ch + 2 .. 4ch + 5, little-endian
//   write curve    the 107-byte curve as read with '%' '0' '0' code '4' in bytes 0-4
//   initialise     '%' '0' '0' '0'+code '4' 'e' record(100) 'f'
//   write reply    5 bytes, '<' and byte 4 = 0x09
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "calibration/curves/curvecal_commands.h"

namespace pages::curvecal::logger {

inline constexpr size_t kCurveFrame = 107;
inline constexpr size_t kChannelListReply = 111;
inline constexpr size_t kRealTimeReply = 23;
inline constexpr size_t kWriteReply = 5;
inline constexpr size_t kReadingsAt = 14;   // reading j at 14 + 2j, high byte first
inline constexpr size_t kDayAt = 105;       // initial record: day of the month
inline constexpr size_t kCountAt = 6;       // initial record: N
inline constexpr uint8_t kSeparator = 0x0A;  // initial record: N - 1 of them after the readings
inline constexpr int kLoggerChannels = 8;
// The section of a card INI file that holds the initial curve, and the buffer it is read into.
inline constexpr const char* kHumiditySection = "humi";
inline constexpr const char* kTemperatureSection = "temp";
inline constexpr size_t kIniSectionBuffer = 51200;

// N: the readings of a humidity (11, 0-100 %RH) or temperature (15, -40-100 °C) curve.
size_t ReadingCount(bool humidity);
// The built-in default curve, N readings.
std::span<const uint16_t> DefaultCurve(bool humidity);

// One entry of the channel list.
struct ListedChannel {
  uint8_t codeByte = 0;  // '0' + code, the curve request's byte 3
  int physical = 0;      // 1-8, the real-time reading's index
};
// The channel list reply to the logical channels in order (index n - 1); an entry whose code
// cannot be sent as one byte ('0' + code above 0xFF) is kept empty.
std::vector<std::optional<ListedChannel>> ChannelsOfList(devlink::ByteView reply);

// The readings of an initialise frame: from the card INI file's "humi" / "temp" section (the
// leading integer of each line, lines without one skipped, up to N), the rest from the default
// curve; all of the default curve for an empty path, a missing file or a section without values.
// A value outside 0-65535 is refused ("配置文件数据无效！", field "path").
std::variant<std::vector<uint16_t>, Outcome> InitialReadings(const std::string& iniPath,
                                                             bool humidity);
// The 107-byte initialise frame for `codeByte` with `readings` (N of them) and the day of month.
devlink::Bytes BuildInitialiseFrame(uint8_t codeByte, const std::vector<uint16_t>& readings,
                                    int dayOfMonth);

}  // namespace pages::curvecal::logger
