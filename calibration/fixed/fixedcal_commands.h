#pragma once
// Commands of the "曲线校准" page for instruments with one temperature and one humidity sensor:
// two calibration tables kept in the instrument (for each fixed raw reading the value it shall
// report instead), the current readings, and a zero-point correction per quantity. SumFrame
// exchanges to the device address; values are signed 16-bit tenths, low byte first.
//
//   0x07 01 / 0x07 02           read the temperature / humidity table -> 40 bytes
//   0x03 01 / 0x03 02 [40]      write a table                         -> 0x55
//   0x01 FF                     real-time temperature, humidity       -> 4 bytes
//   0x0B 55                     read the zero-point corrections       -> 4 bytes
//   0x0B AA [4]                 write them                            -> 0x55
//
// A table travels as its values in point order, two bytes each, then zero bytes up to 40.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::fixedcal {

enum class Quantity { Temperature, Humidity };

inline constexpr size_t kTemperaturePoints = 15;  // -40.0 .. 100.0 in steps of 10
inline constexpr size_t kHumidityPoints = 11;     // 0.0 .. 100.0 in steps of 10
inline constexpr size_t kTablePayload = 40;

// The zero-point corrections are accepted from -100 to 100, the bounds included.
inline constexpr double kCorrectionLimit = 100.0;
// What a signed 16-bit count of tenths can carry.
inline constexpr double kLowestValue = -3276.8;
inline constexpr double kHighestValue = 3276.7;

// Messages.
inline constexpr const char* kZeroWriteOk = "写数据成功";
inline constexpr const char* kZeroWriteFailed = "写数据失败";
inline constexpr const char* kTemperatureCorrectionRange = "温度的矫正范围为（-100,100）";
inline constexpr const char* kHumidityCorrectionRange = "湿度的矫正范围为（-100,100）";
inline constexpr const char* kValueOutOfRange = "校准值范围为(-3276.8~3276.7)";
inline constexpr const char* kWrongPointCount = "校准值个数不对：温度表15个，湿度表11个";

// Captions of the page that name the quantities (the step buttons' combo box).
inline constexpr const char* kTemperatureName = "温度";
inline constexpr const char* kHumidityName = "湿度";

// Field names a refusal reports.
inline constexpr const char* kFieldValues = "values";
inline constexpr const char* kFieldTemperature = "temperature";
inline constexpr const char* kFieldHumidity = "humidity";

size_t PointCount(Quantity quantity);
// The fixed raw reading of point `index` (from 0): -40.0 + 10 * index, or 10 * index.
double RawPoint(Quantity quantity, size_t index);

// One calibrated value per fixed raw point, in point order.
struct CalibrationTable {
  Quantity quantity = Quantity::Temperature;
  std::vector<double> values;
};
Values Describe(const CalibrationTable& table);
// The identity table: every calibrated value equal to its raw point.
CalibrationTable IdentityTable(Quantity quantity);

// The 40-byte payload of a table, or the refusal when it has the wrong number of values or a
// value a 16-bit count of tenths cannot carry (it would reach the instrument as another value).
// Values are truncated toward zero to tenths: 12.39 goes as 123, -0.05 as 0.
std::optional<Outcome> RefuseTable(const CalibrationTable& table);
devlink::Bytes TablePayload(const CalibrationTable& table);

// The table with every value shifted by `step` (the page's "+"/"-").
CalibrationTable Shifted(CalibrationTable table, double step);

Result<CalibrationTable> ReadTable(devlink::Channel& channel, Quantity quantity);
Outcome WriteTable(devlink::Channel& channel, const CalibrationTable& table);

// Temperature and humidity, as the real-time read and the zero-point corrections carry them.
struct Pair {
  double temperature = 0;
  double humidity = 0;
};
Values Describe(const Pair& pair);

// The current readings. A success carries no message.
Result<Pair> ReadRealTime(devlink::Channel& channel);

// The refusal of a correction outside -100..100 (the bounds are accepted), by quantity.
std::optional<Outcome> RefuseCorrection(Quantity quantity, double value);
Result<Pair> ReadZeroPoint(devlink::Channel& channel);
// Over the serial port the outcome reads "写数据成功"/"写数据失败", over TCP
// "数据设置成功"/"数据设置失败". The reply's first byte is not examined.
Outcome WriteZeroPoint(devlink::Channel& channel, const Pair& corrections);

// The quantity a name of the combo box or of tool-cli stands for: "湿度" and "humidity" name
// the humidity table, any other text the temperature table.
Quantity QuantityNamed(std::string_view name);

// tool-cli verbs of the page "fixedcal".
CommandSet Commands();

}  // namespace pages::fixedcal
