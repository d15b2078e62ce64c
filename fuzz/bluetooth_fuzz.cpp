// Fuzz target: the Bluetooth adapter and the instruments behind it. Byte 0 picks the operation:
// the adapter's connect procedure, disconnect, connection state and MAC read (its reads answered
// from the input), or a command of the Bluetooth logger or of its curve calibration (kind 5),
// whose Modbus replies come from the input through the channel; byte 1 picks their arguments
// (bit 5: replies get their CRC, see FuzzChannel).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "calibration/curves/curvecal_commands.h"
#include "fuzz/command_runner.h"
#include "fuzz/fuzz_channel.h"
#include "link/bluetooth.h"
#include "pages/btlogger/btlogger_commands.h"

namespace {

using fuzzing::Check;
using fuzzing::CheckOutcome;
namespace btlogger = pages::btlogger;
namespace curvecal = pages::curvecal;

constexpr const char* kMac = "00:1A:7D:DA:71:13";
constexpr int32_t kDelayMs = 600;

void CheckAdapter(const devlink::AdapterResult& result) {
  fuzzing::CheckUtf8(result.message, "adapter message", false);
  Check(result.ok || !result.message.empty());
}

template <class T>
void CheckResult(pages::Result<T> result, const char* where) {
  CheckOutcome(pages::ToOutcome(std::move(result)), where);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t operation = data[0];
  const uint8_t selector = data[1];
  fuzzing::FuzzInput input(data + 2, size - 2);
  const bool repair = (selector & 0x20) != 0;
  fuzzing::FuzzAdapterPort port(input, repair);
  fuzzing::FuzzChannel channel(input, false, repair);
  const curvecal::CurveTarget target{curvecal::InstrumentKind::BluetoothLogger, 1 + selector % 8,
                                     (selector & 0x40) != 0};
  switch (operation % 13) {
    case 0: CheckAdapter(devlink::ConnectToMac(port, kDelayMs, kMac)); break;
    case 1: CheckAdapter(devlink::DisconnectMac(port, kDelayMs, kMac)); break;
    case 2: CheckAdapter(devlink::AdapterReadMac(port, kDelayMs)); break;
    case 3: CheckAdapter(devlink::AdapterGetConnection(port, kDelayMs)); break;
    case 4: CheckResult(btlogger::ReadConfig(channel), "btlogger read-channels"); break;
    case 5: {
      // The write keeps what the read gave: rows chosen by the selector, some without a type.
      const auto read = btlogger::ReadConfig(channel);
      std::vector<std::optional<uint8_t>> rows;
      for (int k = 0; k < (selector & 0x0F); ++k) {
        rows.push_back(k == 5 && (selector & 0x10) ? std::nullopt
                                                   : std::optional<uint8_t>(1 + (k + selector) % 2));
      }
      CheckOutcome(btlogger::WriteConfig(channel, read.value, rows), "btlogger write-channels");
      break;
    }
    case 6: CheckOutcome(btlogger::ClearHistory(channel), "btlogger clear"); break;
    case 7: CheckResult(btlogger::ReadLoggerSn(channel), "btlogger read-sn"); break;
    case 8: CheckResult(btlogger::WriteLoggerSn(channel, 2024, 1 + selector % 12, selector * 257),
                     "btlogger write-sn"); break;
    case 9: CheckResult(btlogger::ReadLoggerClock(channel), "btlogger read-clock"); break;
    case 10: {
      const pages::ClockTime now{2000 + selector % 100, 1 + selector % 12, 1 + selector % 28,
                                 selector % 24, selector % 60, selector % 60, selector % 7};
      CheckResult(btlogger::SetLoggerClock(channel, now), "btlogger set-clock");
      break;
    }
    case 11: {
      curvecal::CurveBuffer buffer;
      CheckResult(curvecal::ReadCurve(channel, target, buffer), "curvecal read kind 5");
      const std::vector<curvecal::CurvePair> pairs = {{25.0, 24.6}, {-20, -19.8}};
      CheckOutcome(curvecal::WriteCurve(channel, target, pairs, buffer), "curvecal write kind 5");
      break;
    }
    default:
      if (selector & 0x80) {
        CheckResult(curvecal::ReadRawValue(channel, target), "curvecal read-raw kind 5");
      } else {
        CheckResult(curvecal::ReadDisplayValue(channel, target), "curvecal read-display kind 5");
      }
      break;
  }
  return 0;
}
