// The Bluetooth logger's curve exchanges.
#include "calibration/curves/curvecal_kinds.h"

namespace pages::curvecal {

// Placeholders until the Bluetooth logger's frames are built.
Result<Curve> ReadBluetoothCurve(devlink::Channel&, const CurveTarget&, CurveBuffer&) {
  return NotSupported();
}
Outcome WriteBluetoothCurve(devlink::Channel&, const CurveTarget&, const std::vector<CurvePair>&,
                            CurveBuffer&) {
  return NotSupported();
}

}  // namespace pages::curvecal
