// Clock read and set, '%' command 0x08:
//   read  0xCC, no payload      -> '<' addr 08 CC 06 [yy MM dd hh mm ss] 'f' sum (BCD, local time)
//   set   0xBB, [yy MM dd hh mm ss] BCD -> '<' addr 08 BB 01 [0x55] 'f' sum; an impossible date is
//         refused with 0x00 and leaves the clock as it was.
#include <ctime>

#include "sim/families/clock.h"
#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kClockCommand = 0x08;
constexpr uint8_t kClockRead = 0xCC;
constexpr uint8_t kClockSet = 0xBB;
constexpr size_t kClockFields = 6;

uint8_t ToBcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

// Two decimal digits, or -1 when a nibble is not a digit.
int FromBcd(uint8_t byte) {
  int tens = byte >> 4;
  int units = byte & 0x0F;
  return tens > 9 || units > 9 ? -1 : tens * 10 + units;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

Bytes ReadClock(const ClockState& clock) {
  std::time_t now = clock.Now();
  std::tm local{};
  localtime_r(&now, &local);
  int year = (local.tm_year + 1900) % 100;
  return {ToBcd(year),          ToBcd(local.tm_mon + 1), ToBcd(local.tm_mday),
          ToBcd(local.tm_hour), ToBcd(local.tm_min),     ToBcd(local.tm_sec)};
}

bool SetClock(ClockState& clock, const Bytes& fields) {
  if (fields.size() != kClockFields) return false;
  int value[kClockFields];
  for (size_t i = 0; i < kClockFields; ++i) {
    value[i] = FromBcd(fields[i]);
    if (value[i] < 0) return false;
  }
  int year = 2000 + value[0];
  int month = value[1];
  if (month < 1 || month > 12 || value[2] < 1 || value[2] > DaysInMonth(year, month) ||
      value[3] > 23 || value[4] > 59 || value[5] > 59) {
    return false;
  }
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = value[2];
  local.tm_hour = value[3];
  local.tm_min = value[4];
  local.tm_sec = value[5];
  local.tm_isdst = -1;
  std::time_t target = std::mktime(&local);
  if (target == static_cast<std::time_t>(-1)) return false;
  std::time_t host = clock.hostNow ? clock.hostNow() : std::time(nullptr);
  clock.offset = std::chrono::seconds(target - host);
  return true;
}

std::optional<Bytes> HandleClock(Instrument& device, const Bytes& frame) {
  SumRequest request = ParseSum(frame);
  if (request.command != kClockCommand) return std::nullopt;
  auto& clock = device.State<ClockState>();
  if (request.sub == kClockRead) {
    return SumReply(device.address, kClockCommand, kClockRead, ReadClock(clock));
  }
  if (request.sub == kClockSet) {
    uint8_t result = SetClock(clock, request.payload) ? kAck : kNak;
    return SumReply(device.address, kClockCommand, kClockSet, {result});
  }
  return std::nullopt;
}

}  // namespace

void RegisterClock(Simulator& simulator) { simulator.AddHandler(kSumFamily, HandleClock); }

}  // namespace sim
