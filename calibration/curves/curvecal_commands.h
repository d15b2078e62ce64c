#pragma once
// Commands of the multi-channel "曲线校准" page: the sensor curve of one channel, as pairs of
// environment (reference) value and raw value kept in the instrument. Each instrument kind has
// its own frames and curve layout; the curve travels in a `CurveBuffer` laid out as the
// instrument's curve reply, which is also the frame the edited curve is written back in.
//
// SumFrame kinds (request '%', addr, command, ch - 1, 0, 'f', sum; reply of any length its byte
// 4 gives):
//   kind 0 transmitter          read 0x22, write 0x23   8 pairs of tenths + 273.1, low byte first
//   kind 1 32-bit, 4 32-bit card read 0x07, write 0x03   as kind 0; humidity without the + 273.1
//   kind 3 WiFi transmitter      read 0x07, write 0x03   8 pairs of singles, little-endian
//   kind 6 refrigerated box      read 0x50, write 0x51   16 pairs of singles, little-endian
// The write sends the buffer as read and edited with '%', addr and the write command in bytes
// 0-2, 'f' and the sum at its end; the instrument acknowledges with 0x55.
//
// Kind 7, the digital sensor (Modbus at the device address): channel n's curve is the 16 holding
// registers from (n - 1 + 16) * 256, raw values in the first 8, environment values (+ 273.1) in
// the last 8, each low byte first; read with 0x03, written with 0x10.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::curvecal {

enum class InstrumentKind : int {
  Transmitter = 0,      // "变送器"
  Bit32 = 1,            // "32位"
  Logger = 2,           // "记录仪"
  WifiTransmitter = 3,  // "WIFI变送器"
  Bit32Card = 4,        // "32位-卡片"
  BluetoothLogger = 5,  // "蓝牙记录仪"
  FridgeBox = 6,        // "冷藏箱"
  DigitalSensor = 7,    // "数字传感器"
};
inline constexpr int kKindCount = 8;
// The combo box's texts, by kind.
inline constexpr std::array<const char*, kKindCount> kKindNames{
    "变送器", "32位", "记录仪", "WIFI变送器", "32位-卡片", "蓝牙记录仪", "冷藏箱", "数字传感器"};
// How many channels the channel combo offers, by kind.
int ChannelCount(InstrumentKind kind);

// Messages.
inline constexpr const char* kNotCalibrated = "仪器尚未校准！";
inline constexpr const char* kListInvalid = "数据列表设置无效！";
inline constexpr const char* kInvalidRows = "请删除无效行或填入有效数据！";
inline constexpr const char* kExtraRows = "请删除多余行！";
inline constexpr const char* kErrorCaption = "错误";
// tool-cli: a kind whose curve exchanges are not built yet.
inline constexpr const char* kKindNotSupported = "该仪器类型暂不支持";
// The logger kind's rows are readings of its curve: it has no raw value to read.
inline constexpr const char* kNoRawValue = "记录仪没有原始值可读";

// Field names a refusal reports.
inline constexpr const char* kFieldKind = "kind";
inline constexpr const char* kFieldChannel = "channel";
inline constexpr const char* kFieldPairs = "pairs";
// The read's value that holds the curve as --pairs takes it.
inline constexpr const char* kValueCurve = "curve";

// The offset added to temperatures before they are stored as tenths: 273.1, not 273.15.
inline constexpr double kKelvinOffset = 273.1;

// The curve as it travels: 1024 bytes, zeroed at start; `length` is the frame length of the last
// curve read (0: none read yet).
struct CurveBuffer {
  static constexpr size_t kSize = 1024;
  std::array<uint8_t, kSize> bytes{};
  size_t length = 0;
};

enum class SlotEncoding {
  TenthsLowFirst,   // EncodeTenths16 of value + offset, low byte first
  TenthsHighFirst,  // EncodeTenths16 of the value, high byte first
  SingleLe,         // IEEE single, little-endian
};

// Where a kind keeps its pairs in the CurveBuffer: slot j's environment value at
// environmentAt + j * width, its raw value at rawAt + j * width.
struct PairLayout {
  size_t slotCount = 0;
  size_t environmentAt = 0;
  size_t rawAt = 0;
  size_t width = 2;
  SlotEncoding encoding = SlotEncoding::TenthsLowFirst;
  double offset = 0;                 // added before encoding, subtracted after decoding
  std::array<uint8_t, 4> empty{};    // the bytes of an empty slot (`width` of them)
  // The least frame length that holds every slot and the frame's 'f' and sum.
  size_t FrameLength() const;
};
// The layout of a pair kind (0, 1, 3, 4, 5, 6, 7); none for the logger kind.
std::optional<PairLayout> LayoutOf(InstrumentKind kind, bool humidity);

struct CurvePair {
  double environment = 0;
  double raw = 0;
  bool operator==(const CurvePair&) const = default;
};

// The pairs from the first slot on, up to the first empty slot (both halves empty) or the slot
// count. A slot that holds no number (NaN, or infinity beside a used half) fails the decode.
Result<std::vector<CurvePair>> DecodePairs(const PairLayout& layout, const CurveBuffer& buffer);
// Writes `pairs` into the slots in ascending order of environment value (of equal environment
// values the last one counts), as many as there are slots; the remaining slots get the empty
// pattern.
void EncodePairs(const PairLayout& layout, const std::vector<CurvePair>& pairs,
                 CurveBuffer& buffer);
// Refuses, before anything is sent, more pairs (of distinct environment values) than the
// instrument holds: "请删除多余行！". Rows beyond the slots would otherwise be dropped unseen.
std::optional<Outcome> ExtraPairsRefusal(const PairLayout& layout,
                                         const std::vector<CurvePair>& pairs);

// The list's rows as texts (column 2, the environment value; column 3, the raw value) to pairs:
// "数据列表设置无效！" for no rows, "请删除无效行或填入有效数据！" for a row with an empty or
// non-numeric cell.
std::variant<std::vector<CurvePair>, Outcome> PairsOfRows(
    const std::vector<std::pair<std::string, std::string>>& rows);
// "E:R,E:R,..." (tool-cli's --pairs).
std::variant<std::vector<CurvePair>, Outcome> ParsePairs(std::string_view text);

// What identifies the curve of one channel.
struct CurveTarget {
  InstrumentKind kind = InstrumentKind::Transmitter;
  int channel = 1;        // 1-based
  bool humidity = false;  // channel type "湿度"
};

struct Curve {
  std::vector<CurvePair> pairs;   // the pair kinds
  std::vector<double> readings;   // the logger kind: one raw reading per reference point
};

// The curve of the buffer's pairs ("未校准" when there are none); a failed decode also leaves the
// buffer with nothing to write back.
Result<Curve> CurveOfBuffer(const PairLayout& layout, CurveBuffer& buffer);
// tool-cli values: "pairs" and "environment-i"/"raw-i", or for the logger kind "readings" and
// "reading-i"; and "curve", the same as the write's --pairs ("E:R,..." or "V,...").
Values Describe(const Curve& curve);

// Reads the channel's curve into `buffer` (its frame length becomes the reply's length). An
// uncalibrated channel reads as no pairs, with the message "仪器尚未校准！".
Result<Curve> ReadCurve(devlink::Channel& channel, const CurveTarget& target, CurveBuffer& buffer);
// Writes `pairs` into the curve last read into `buffer` and sends it back.
Outcome WriteCurve(devlink::Channel& channel, const CurveTarget& target,
                   const std::vector<CurvePair>& pairs, CurveBuffer& buffer);

// The Bluetooth logger (kind 5) sits behind the adapter: its callers first connect the adapter
// to it (ConnectBluetoothDevice of pages/kit/bluetooth_device.h) and pass a BluetoothChannel.

// ---- the logger kind (2) ----
// ASCII frames: requests '#' '0' '0' x y 'f' (6 bytes) and the 107-byte curve write
// '%' '0' '0' code '4' ...; replies start with '<'. Channel n (1-8) is the n-th channel of the
// instrument's channel list: its code byte ('0' + code) picks the curve, its physical index
// (1-8) the real-time raw value. The curve record holds N = 11 (humidity) or 15 (temperature) raw
// readings, 16-bit unsigned, high byte first from frame byte 14.
inline constexpr const char* kChannelReadFailed = "通道读取失败";
inline constexpr const char* kRealTimeReadFailed = "实时数据读取失败";
// Not the system's own texts (it has none for these cases): a channel number beyond the
// instrument's channel list, and a value of the card INI file that is no 16-bit reading.
inline constexpr const char* kChannelNotListed = "仪器没有该通道";
inline constexpr const char* kIniValueInvalid = "配置文件数据无效！";
inline constexpr const char* kFieldPath = "path";
// The list's column 2 of the logger kind to the values to write: with "全调" (adjustAll) every
// row needs a number ("请删除无效行或填入有效数据！"), without it exactly one row
// ("请删除多余行！"); no rows at all gives "数据列表设置无效！".
std::variant<std::vector<double>, Outcome> LoggerValuesOfRows(
    const std::vector<std::string>& column2, bool adjustAll);
// tool-cli's --pairs for the logger kind: "V,V,..." or "E:R,..." (the first number of each item
// counts).
std::variant<std::vector<double>, Outcome> ParseLoggerValues(std::string_view text,
                                                             bool adjustAll);
// "全调": reads the curve again and replaces reading i by the whole part of values[i]; readings
// without a value are written as 0, values beyond the N readings are ignored. A value whose whole
// part is not 0-65535 is refused before anything is sent. WriteCurve of the logger kind writes
// the environment values of its pairs this way.
Outcome WriteLoggerReadings(devlink::Channel& channel, const CurveTarget& target,
                            const std::vector<double>& values, CurveBuffer& buffer);
// Single point: reads the curve again and the channel's real-time raw value, and stores it at the
// reference point `environment` lies on, or extrapolates the point above it.
Outcome WriteLoggerPoint(devlink::Channel& channel, const CurveTarget& target, double environment,
                         CurveBuffer& buffer);
// "初始化": the initial curve from the "humi" or "temp" section of the card INI file at iniPath,
// or the built-in default curve when the path is empty or the file yields no value; when the
// file yields fewer than N values, the rest come from the default curve.
Outcome InitialiseLoggerCurve(devlink::Channel& channel, const CurveTarget& target,
                              const std::string& iniPath);

// ---- live values, shown as "%.1f" ----
struct LiveValue {
  double value = 0;
};
Values Describe(const LiveValue& value);
// The logger kind's real-time raw value of a channel (its physical index through the channel
// list): the value a single-point write stores.
Result<LiveValue> ReadLoggerRawValue(devlink::Channel& channel, const CurveTarget& target);
// The channel's display value (button "读取").
Result<LiveValue> ReadDisplayValue(devlink::Channel& channel, const CurveTarget& target);
// The channel's raw value, which fills column 3 after an edit (the logger kind reads none).
Result<LiveValue> ReadRawValue(devlink::Channel& channel, const CurveTarget& target);

// ---- the 32-bit card kind (4) ----
struct CardChannel {
  std::string cardId;     // the card ID of the channel's configuration, as read (8 digits)
  int card = 0;           // the card ID as a card number; -1 when it is not decimal digits
  bool humidity = false;  // a humidity sensor ("湿度传感器", "温湿卡片-湿度")
};
Values Describe(const CardChannel& card);
// The channel's configuration, read with the recorder's channel-configuration command (0x34).
Result<CardChannel> ReadCardChannel(devlink::Channel& channel, int channelNumber);
// The pairs of card `card` in the calibration file at path (points whose value is -1000 are
// left out), read through libcalstore; a card without any point of the channel type fails like
// a card the file does not hold.
Result<Curve> LoadCalibrationFile(const std::string& path, int card, bool humidity);

// tool-cli verbs of the page "curvecal".
CommandSet Commands();

}  // namespace pages::curvecal
