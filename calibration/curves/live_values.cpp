// Display and raw values of a channel.
#include "calibration/curves/curvecal_kinds.h"

namespace pages::curvecal {

Values Describe(const LiveValue& value) { return {{"value", value.value}}; }

// Placeholders until the live-value frames are built.
Result<LiveValue> ReadDisplayValue(devlink::Channel& channel, const CurveTarget& target) {
  if (target.kind == InstrumentKind::Logger) return ReadLoggerDisplayValue(channel, target);
  return NotSupported();
}
Result<LiveValue> ReadRawValue(devlink::Channel&, const CurveTarget&) { return NotSupported(); }

}  // namespace pages::curvecal
