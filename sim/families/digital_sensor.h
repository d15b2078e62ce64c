#pragma once
// The digital temperature/humidity sensor: a Modbus RTU instrument with the holding registers of
// sim/families/register_map.h (address 0x0066, baud index 0x0067, SN 0x4000-0x4003, channel
// types 0x4010, versions 0x4020-0x4023) that listens at one baud rate only. On a line set to
// another rate it hears garbage and stays silent; after a write of its baud index it answers that
// write, then listens at the new rate.
#include "sim/simulator.h"

namespace sim {

struct DigitalSensorState {
  // The rate a line without a known rate stands for: requests over TCP reach the sensor through
  // a network module whose serial side runs at this rate (also requests fed in directly).
  int unknownLineBaud = 9600;
};

// The rate of a baud index (1 = 2400, 2 = 4800, 3 = 9600); 0 for any other index.
int SensorBaudOfIndex(int index);
// The rate the sensor listens at now.
int SensorBaud(Instrument& device);

void RegisterDigitalSensor(Simulator& simulator);

}  // namespace sim
