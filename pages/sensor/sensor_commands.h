#pragma once
// Commands of the digital sensor page: a Modbus RTU temperature/humidity sensor. Its address and
// baud rate are found (address read at the any-device address 0xFA, with a search over the baud
// rates when that fails) and changed, its channel types and versions read, its SN read and
// written through the SN widget's hooks.
//
// Holding registers (16-bit, high byte first):
//   0x0066 Modbus address           0x0067 baud index: 1 = 2400, 2 = 4800, 3 = 9600
//   0x4000 date code (year*16+month) 0x4001 serial number   0x4002-0x4003 written as 0
//   0x4010 channel types: high byte channel 1, low byte channel 2
//   0x4020-0x4021 hardware version, 0x4022-0x4023 software version: four ASCII characters each
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"
#include "pages/kit/serial_line.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::sensor {

inline constexpr uint8_t kAnyDevice = 0xFA;  // reaches the one attached sensor, whatever its address
inline constexpr uint16_t kAddressRegister = 0x0066;
inline constexpr uint16_t kBaudRegister = 0x0067;
inline constexpr uint16_t kSnRegister = 0x4000;
inline constexpr uint16_t kChannelTypeRegister = 0x4010;
inline constexpr uint16_t kVersionRegister = 0x4020;

inline constexpr int kInitialSensorAddress = 1;
inline constexpr int kSensorAddressMax = 65535;
// The rates of the baud list, in list order; a baud index is its position + 1.
inline constexpr std::array<const char*, 3> kBaudRates{"2400", "4800", "9600"};

// Messages.
inline constexpr const char* kAddressReadFailed = "地址读取失败";
inline constexpr const char* kBaudReadFailed = "波特率读取失败";
inline constexpr const char* kAddressRange = "地址应在1-65535";
inline constexpr const char* kAddressSetFailed = "地址设置失败";
inline constexpr const char* kSelectBaud = "请选择需要设置的波特率";
inline constexpr const char* kBaudSetFailed = "波特率设置失败";
inline constexpr const char* kChannelTypeReadFailed = "读取传感器类型失败";
inline constexpr const char* kCheckFailed = "数据校验失败";

// Field names a refusal reports.
inline constexpr const char* kFieldNewAddress = "new";
inline constexpr const char* kFieldBaud = "baud";

// ---- address and baud rate ----

struct SensorFound {
  int address = 0;    // the sensor's address register
  int baudIndex = 0;  // 1..3
  std::string baudText;
};
Values Describe(const SensorFound& found);

// The address read at 0xFA. When it fails and a serial line is given, each rate of kBaudRates
// in turn is set on the line and the port reopened before the read is sent again; the search
// stops at the first answer or at a port that cannot be reopened ("端口已打开"). The port stays
// at the last rate tried. A line that does not carry the exchanges (TCP) is left alone.
Result<int> ReadAddress(devlink::Channel& channel, SerialLine* line);
// The baud index (1..3) of the sensor at `address`; any other index is a failed read.
Result<int> ReadBaudIndex(devlink::Channel& channel, int address);
// Both, as the page's "读取" runs them. On a failed baud read the outcome still carries the
// address found. The rate found is recorded in the line's link (the port is not reconfigured).
Result<SensorFound> FindSensor(devlink::Channel& channel, SerialLine* line);

// Writes `newAddress` (1..65535) to the sensor at `address`; gives the new address.
Result<int> WriteAddress(devlink::Channel& channel, int address, int64_t newAddress);

// Writes the baud index `selection` + 1 (selection: position in kBaudRates) to the sensor at
// `address`, then sends the address read at the unchanged line settings: the write took when
// nothing at all answers that read. A correct answer means the sensor kept its rate
// ("波特率设置失败"); a malformed one gives "地址读取失败". On the serial channel the write's own
// reply is not examined; on TCP the write must pass the channel's exchange.
Outcome WriteBaud(devlink::Channel& channel, int address, std::optional<int> selection);

// ---- channel types ----

struct ChannelTypeName {
  uint8_t code;
  std::string_view name;
};
// The type codes the sensor reports and their names.
inline constexpr std::array<ChannelTypeName, 3> kChannelTypes{{
    {0x37, "数字式传感器-温度"},
    {0x38, "数字式传感器-湿度"},
    {0x39, "数字式传感器-宽温度"},
}};
std::optional<std::string_view> ChannelTypeText(uint8_t code);

// The rows of the channel type list: channel 1's type, then channel 2's; a code outside the
// table gives no row.
struct ChannelTypeRows {
  std::array<uint8_t, 2> codes{};
  std::vector<std::string> names;  // row n (from 1) is names[n - 1]
};
Values Describe(const ChannelTypeRows& rows);
Result<ChannelTypeRows> ReadChannelTypes(devlink::Channel& channel, int address);

// ---- versions ----

struct Versions {
  std::string hardware;  // "x.yz"
  std::string software;
};
Values Describe(const Versions& versions);
// On the serial line the queues are purged before and after the exchange.
Result<Versions> ReadVersions(devlink::Channel& channel, int address, SerialLine* line);

// ---- the SN widget's hooks ----

WidgetRequest BuildSnReadRequest(int address);
// `serial` must already be within 0..65535.
WidgetRequest BuildSnWriteRequest(int address, int year, int month, int serial);
// "数据读取失败" for a reply of the wrong length, function or byte count, "数据校验失败" for a
// wrong CRC; else the SN text.
WidgetReply ParseSnReadReply(devlink::ByteView reply);
// Empty on success; "数据设置失败" for a reply that is not 8 bytes with function 0x10,
// "数据校验失败" for a wrong CRC.
std::string ParseSnWriteReply(devlink::ByteView reply);
WidgetReply ReadSn(devlink::Channel& channel, int address);
// Refuses a serial number outside 0..65535 before sending.
WidgetReply WriteSn(devlink::Channel& channel, int address, int year, int month, int serial);

// tool-cli verbs of the page "sensor".
CommandSet Commands();

}  // namespace pages::sensor
