#include "sim/framing.h"
#include "sim/simulator.h"

namespace sim {

// Instrument families, one file each in sim/families/.
void RegisterVersion(Simulator& simulator);
void RegisterClock(Simulator& simulator);
void RegisterSerialNumber(Simulator& simulator);
void RegisterRegisterMap(Simulator& simulator);
// The simulated family of each instrument family, generated from pages/CMakeLists.txt.
void RegisterPageFamilies(Simulator& simulator);
void RegisterBluetoothAdapter(Simulator& simulator);

void RegisterFamilies(Simulator& simulator) {
  RegisterFramings(simulator);
  // Instruments shared by several pages, then each page's instrument family.
  RegisterVersion(simulator);
  RegisterClock(simulator);
  RegisterSerialNumber(simulator);
  RegisterRegisterMap(simulator);
  RegisterPageFamilies(simulator);
  RegisterBluetoothAdapter(simulator);
}

}  // namespace sim
