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
  // A bad digit or a date no calendar has is refused.
  devlink::ReplyReader in(fields);
  const devlink::DateTime t = in.BcdDateTime();
  if (!in.ok()) return false;
  std::tm local{};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month - 1;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
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
