#include "sim/families/digital_sensor.h"

#include "sim/families/register_map.h"
#include "sim/framing.h"
#include "sim/pty_transport.h"

namespace sim {

int SensorBaudOfIndex(int index) {
  switch (index) {
    case 1: return 2400;
    case 2: return 4800;
    case 3: return 9600;
    default: return 0;
  }
}

int SensorBaud(Instrument& device) {
  const auto& registers = device.State<RegisterMapState>().registers;
  const auto it = registers.find(kBaudRegister);
  return it == registers.end() ? 0 : SensorBaudOfIndex(it->second);
}

namespace {

bool HearsLine(Instrument& device) {
  int line = device.State<LineState>().baud;
  if (line == 0) line = device.State<DigitalSensorState>().unknownLineBaud;
  return line == SensorBaud(device);
}

std::optional<Bytes> Answer(Instrument& device, const Bytes& frame) {
  if (!HearsLine(device)) return Bytes{};  // silent: nothing it could make out
  return AnswerRegisters(device, frame);
}

}  // namespace

void RegisterDigitalSensor(Simulator& simulator) { simulator.AddHandler(kModbusFamily, Answer); }

}  // namespace sim
