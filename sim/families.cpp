#include "sim/framing.h"
#include "sim/simulator.h"

namespace sim {

// Instrument families, one file each in sim/families/.
void RegisterVersion(Simulator& simulator);
void RegisterClock(Simulator& simulator);
void RegisterSerialNumber(Simulator& simulator);
void RegisterRegisterMap(Simulator& simulator);
void RegisterChiller(Simulator& simulator);
void RegisterProperty(Simulator& simulator);
void RegisterSettings(Simulator& simulator);
void RegisterProperty2(Simulator& simulator);
void RegisterBluetoothAdapter(Simulator& simulator);

void RegisterFamilies(Simulator& simulator) {
  RegisterFramings(simulator);
  // Instrument families; add new families here.
  RegisterVersion(simulator);
  RegisterClock(simulator);
  RegisterSerialNumber(simulator);
  RegisterRegisterMap(simulator);
  RegisterChiller(simulator);
  RegisterProperty(simulator);
  RegisterSettings(simulator);
  RegisterProperty2(simulator);
  RegisterBluetoothAdapter(simulator);
}

}  // namespace sim
