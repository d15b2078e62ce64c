// The logger kind's curve exchanges.
#include "calibration/curves/curvecal_kinds.h"

namespace pages::curvecal {

// Placeholders until the logger kind's frames are built.
Result<Curve> ReadLoggerCurve(devlink::Channel&, const CurveTarget&, CurveBuffer&) {
  return NotSupported();
}
Result<LiveValue> ReadLoggerDisplayValue(devlink::Channel&, const CurveTarget&) {
  return NotSupported();
}
Outcome WriteLoggerReadings(devlink::Channel&, const CurveTarget&, const std::vector<double>&,
                            CurveBuffer&) {
  return NotSupported();
}
Outcome WriteLoggerPoint(devlink::Channel&, const CurveTarget&, double, CurveBuffer&) {
  return NotSupported();
}
Outcome InitialiseLoggerCurve(devlink::Channel&, const CurveTarget&, const std::string&) {
  return NotSupported();
}

}  // namespace pages::curvecal
